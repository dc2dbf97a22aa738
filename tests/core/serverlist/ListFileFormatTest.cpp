#include "serverlist/ListFileFormat.h"

#include "ListTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

using namespace ondel;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes prefixOf(std::size_t length) {
    ByteWriter w;
    EXPECT_TRUE(listfile::writeText(w, std::string(length, 'x')));
    Bytes all = w.take();
    return Bytes(all.begin(), all.end() - static_cast<std::ptrdiff_t>(length));
}

Bytes countBytes(std::uint32_t count) {
    ByteWriter w;
    listfile::writeCount(w, count);
    return w.take();
}

std::string readTextFrom(const Bytes& bytes, bool& ok, std::size_t& consumed) {
    ByteReader r(bytes.data(), bytes.size());
    std::string s = listfile::readText(r);
    ok = r.ok();
    consumed = r.position();
    return s;
}

// A record with every stored field away from its default.
ServerEntry fullEntry() {
    ServerEntry e;
    e.address = {"10.1.2.3", 27015};
    e.password = "pw";
    e.savePassword = true;
    e.hidePassword = true;
    e.comment = "note";
    e.lastPing = 42;
    e.averagePing = 41.5f;
    e.reservedSlots = 3;
    e.lastConnected = 13300000000000;
    e.infoTime = 13300000001000;
    e.infoValid = true;
    e.hostName = "Srv";
    e.map = "de_dust";
    e.gameDir = "cstrike";
    e.gameDescription = "Counter-Strike";
    e.players = 5;
    e.maxPlayers = 16;
    e.protocol = 46;
    e.serverType = 'd';
    e.os = 'l';
    e.passwordRequired = 1;
    e.isMod = 1;
    e.rulesTime = 13300000002000;
    e.rulesValid = true;
    e.rules = {{"mp_timelimit", "30"}, {"sv_gravity", "800"}};
    e.timeLeft = 600;
    e.timeLimit = 30;
    e.adminModVersion = "2.50";
    e.friendlyFire = 1;
    e.reserveSlots = 2;
    e.playersTime = 13300000003000;
    e.playerList = {{1, "alice", 10, 300}, {2, "bob", -2, 42}};
    return e;
}

// What a reader of a version-v file must get for e: the fields that version carries, every
// other field at its default.
ServerEntry expectedFor(int version, const ServerEntry& e) {
    ServerEntry x;
    x.address = e.address;
    if (version >= 2) {
        x.hostName = e.hostName;
        x.savePassword = e.savePassword;
        x.hidePassword = e.hidePassword;
        if (e.savePassword)
            x.password = e.password;
    }
    if (version >= 3) {
        x.comment = e.comment;
        x.lastPing = e.lastPing;
        x.averagePing = e.averagePing;
        x.map = e.map;
        x.gameDir = e.gameDir;
        x.gameDescription = e.gameDescription;
        x.infoValid = e.infoValid;
        x.players = e.players;
        x.maxPlayers = e.maxPlayers;
        x.protocol = e.protocol;
        x.serverType = e.serverType;
        x.os = e.os;
        x.passwordRequired = e.passwordRequired;
        x.isMod = e.isMod;
    }
    if (version >= 4) {
        x.reservedSlots = e.reservedSlots;
        x.rulesTime = e.rulesTime;
        x.rulesValid = e.rulesValid;
        x.rules = e.rules;
        x.timeLeft = e.timeLeft;
        x.timeLimit = e.timeLimit;
        x.friendlyFire = e.friendlyFire;
        x.reserveSlots = e.reserveSlots;
        x.adminModVersion = e.adminModVersion;
    }
    if (version >= 5) {
        x.lastConnected = e.lastConnected;
        x.infoTime = e.infoTime;
        x.playersTime = e.playersTime;
        x.playerList = e.playerList;
    }
    return x;
}

// The sample list files in tests/data/listfiles, one of each format version, were written by
// the program's releases of that version; each holds samples() under the name "Clan" (only
// version 6 stores a name).
Bytes sampleFile(int version) {
    std::ifstream in(std::string(ONDEL_TEST_DATA "/listfiles/sample.sl0") + std::to_string(version),
                     std::ios::binary);
    Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_FALSE(bytes.empty()) << "sample of version " << version;
    return bytes;
}

std::vector<ServerEntry> samples() {
    ServerEntry first = fullEntry();
    ServerEntry second = fullEntry();
    second.address = {"game.example.org", 27016};
    second.savePassword = false; // its password is not in the file
    second.hostName = "Other";
    second.rules = {{"a", "1"}};
    second.playerList = {{7, "carol", 3, 9}};
    return {first, second};
}

// Where pattern first starts in bytes.
std::size_t offsetOf(const Bytes& bytes, std::string_view pattern) {
    auto it = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    EXPECT_NE(it, bytes.end()) << pattern;
    return static_cast<std::size_t>(it - bytes.begin());
}

} // namespace

TEST(ListFileFormat, TextPrefixAtEveryBoundary) {
    struct Case {
        std::size_t length;
        Bytes prefix;
    } cases[] = {
        {0, {0x00}},
        {1, {0x01}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0x2C, 0x01}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(prefixOf(c.length), c.prefix) << c.length;
        // And the reader takes exactly the bytes back.
        ByteWriter w;
        std::string text(c.length, 'a');
        if (c.length > 0)
            text.back() = 'z';
        listfile::writeText(w, text);
        w.u8(0x5A); // a byte after the text must stay unread
        bool ok = false;
        std::size_t consumed = 0;
        EXPECT_EQ(readTextFrom(w.data(), ok, consumed), text) << c.length;
        EXPECT_TRUE(ok);
        EXPECT_EQ(consumed, w.size() - 1) << c.length;
    }
}

TEST(ListFileFormat, ReaderAcceptsLongPrefixForShortText) {
    // Not written by the program, but a valid prefix: FF and a 16-bit length below 255.
    Bytes bytes = {0xFF, 0x03, 0x00, 'a', 'b', 'c'};
    bool ok = false;
    std::size_t consumed = 0;
    EXPECT_EQ(readTextFrom(bytes, ok, consumed), "abc");
    EXPECT_TRUE(ok);
}

TEST(ListFileFormat, CountEncodingAtBoundaries) {
    EXPECT_EQ(countBytes(0), (Bytes{0x00, 0x00}));
    EXPECT_EQ(countBytes(0xFFFE), (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(countBytes(0xFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(countBytes(70000), (Bytes{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    for (std::uint32_t n : {0u, 1u, 0xFFFEu, 0xFFFFu, 70000u, 0xFFFFFFFFu}) {
        Bytes b = countBytes(n);
        ByteReader r(b.data(), b.size());
        EXPECT_EQ(listfile::readCount(r), n);
        EXPECT_TRUE(r.ok() && r.atEnd()) << n;
    }
}

TEST(ListFileFormat, SeventyThousandEntriesUseTheLongCount) {
    std::vector<ServerEntry> entries(70000);
    Bytes out;
    ASSERT_TRUE(listfile::encode("L", entries, out));
    // version (4), name "L" (2), then the count.
    Bytes count(out.begin() + 6, out.begin() + 12);
    EXPECT_EQ(count, (Bytes{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    listfile::Contents c = listfile::decode(out);
    EXPECT_TRUE(c.usable());
    EXPECT_EQ(c.entries.size(), 70000u);
}

TEST(ListFileFormat, WideTextIsConvertedToUtf8) {
    struct Case {
        Bytes bytes;
        std::string text;
    } cases[] = {
        // "hé" + U+1F600 (a surrogate pair)
        {{0xFF, 0xFE, 0xFF, 0x04, 'h', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE},
         "h\xC3\xA9\xF0\x9F\x98\x80"},
        // U+20AC, a lone low surrogate, then 'x'
        {{0xFF, 0xFE, 0xFF, 0x03, 0xAC, 0x20, 0x00, 0xDC, 'x', 0}, "\xE2\x82\xAC\xEF\xBF\xBDx"},
        // a lone high surrogate at the end
        {{0xFF, 0xFE, 0xFF, 0x01, 0x3D, 0xD8}, "\xEF\xBF\xBD"},
        // empty, and a long second prefix
        {{0xFF, 0xFE, 0xFF, 0x00}, ""},
        {{0xFF, 0xFE, 0xFF, 0xFF, 0x02, 0x00, 'o', 0, 'k', 0}, "ok"},
    };
    for (const auto& c : cases) {
        bool ok = false;
        std::size_t consumed = 0;
        EXPECT_EQ(readTextFrom(c.bytes, ok, consumed), c.text);
        EXPECT_TRUE(ok);
        EXPECT_EQ(consumed, c.bytes.size());
    }
}

TEST(ListFileFormat, BrokenTextsFailWithoutReadingPastTheEnd) {
    const Bytes cases[] = {
        {0x05, 'a', 'b'},                                       // shorter than its prefix
        {0xFF, 0x2C},                                           // prefix cut
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},        // 4 GB announced
        {0xFF, 0xFE, 0xFF, 0x03, 'a', 0},                       // wide, characters missing
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, // wide, 2^31 characters
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x01, 'a', 0},     // a marker inside the marker
        {},
    };
    for (const auto& bytes : cases) {
        bool ok = true;
        std::size_t consumed = 0;
        EXPECT_EQ(readTextFrom(bytes, ok, consumed), "");
        EXPECT_FALSE(ok);
        EXPECT_LE(consumed, bytes.size());
    }
}

TEST(ListFileFormat, EveryVersionReadsExactlyItsFields) {
    const std::vector<ServerEntry> entries = samples();
    for (int version = 1; version <= 6; ++version) {
        SCOPED_TRACE(version);
        listfile::Contents c = listfile::decode(sampleFile(version));
        EXPECT_TRUE(c.complete);
        EXPECT_TRUE(c.usable());
        EXPECT_EQ(c.formatVersion, version);
        EXPECT_EQ(c.name.has_value(), version == 6);
        if (version == 6) {
            EXPECT_EQ(*c.name, "Clan");
        }
        ASSERT_EQ(c.entries.size(), 2u);
        EXPECT_EQ(c.entries[0], expectedFor(version, entries[0]));
        EXPECT_EQ(c.entries[1], expectedFor(version, entries[1]));
        EXPECT_EQ(c.entries[1].password, "");
        if (version < 4) {
            EXPECT_EQ(c.entries[0].reservedSlots, -1); // "Auto", not 0
        }
    }
}

TEST(ListFileFormat, WritesVersionSixByteForByte) {
    std::vector<ServerEntry> entries = samples();
    entries[0].rconChallenge = 12345; // never stored
    Bytes out;
    ASSERT_TRUE(listfile::encode("Clan", entries, out));
    EXPECT_EQ(out, sampleFile(6));

    // Read and written again, the sample comes back unchanged (flags included).
    listfile::Contents c = listfile::decode(sampleFile(6));
    ASSERT_TRUE(listfile::encode(*c.name, c.entries, out));
    EXPECT_EQ(out, sampleFile(6));
}

TEST(ListFileFormat, RoundTripOfAFullyPopulatedList) {
    std::vector<ServerEntry> entries;
    ServerEntry a = fullEntry();
    a.comment = std::string(300, 'c');           // FF + 16-bit prefix
    a.gameDescription = std::string(70000, 'g'); // FF FFFF + 32-bit prefix
    a.hostName = "caf\xC3\xA9 \xE9t\xE9";        // bytes kept as they are
    for (int i = 0; i < 40; ++i)
        a.rules.push_back(
            {"rule" + std::to_string(i), std::string(static_cast<std::size_t>(i), 'v')});
    ServerEntry b = fullEntry();
    b.address = {"Host.A.b", 1};
    b.savePassword = false;
    b.password.clear();
    b.averagePing = -0.25f;
    b.reservedSlots = -1;
    b.lastConnected = -5;
    b.players = 255;
    entries = {a, b, ServerEntry{}};
    for (int i = 0; i < 300; ++i)
        entries[2].playerList.push_back(
            {static_cast<std::uint8_t>(i), "p" + std::to_string(i), -i, i * 7});

    Bytes out;
    ASSERT_TRUE(listfile::encode("", entries, out));
    listfile::Contents c = listfile::decode(out);
    EXPECT_TRUE(c.usable());
    EXPECT_EQ(c.formatVersion, 6);
    EXPECT_EQ(c.name, std::optional<std::string>(""));
    EXPECT_EQ(c.entries, entries);
}

TEST(ListFileFormat, PasswordIsDroppedUnlessSaved) {
    ServerEntry e;
    e.address = {"1.2.3.4", 5};
    e.password = "sekrit-pass";
    e.savePassword = false;
    Bytes out;
    ASSERT_TRUE(listfile::encode("n", {e}, out));
    std::string asText(out.begin(), out.end());
    EXPECT_EQ(asText.find("sekrit-pass"), std::string::npos);
    listfile::Contents c = listfile::decode(out);
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].password, "");

    // A file's savePassword of any non-zero value saves the password; it is written back as 1.
    e.savePassword = true;
    ASSERT_TRUE(listfile::encode("n", {e}, out));
    const std::size_t flagAt = offsetOf(out, "sekrit-pass") - 1 - 4 - 4;
    ASSERT_EQ(out[flagAt], 1);
    out[flagAt] = 7;
    c = listfile::decode(out);
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].password, "sekrit-pass");
    EXPECT_TRUE(c.entries[0].savePassword);
    Bytes again;
    ASSERT_TRUE(listfile::encode("n", c.entries, again));
    EXPECT_EQ(again[flagAt], 1);
}

TEST(ListFileFormat, VersionsOutsideOneToSixGiveNoEntries) {
    Bytes v7 = sampleFile(6);
    v7[0] = 7;
    listfile::Contents c = listfile::decode(v7);
    EXPECT_EQ(c.formatVersion, 7);
    EXPECT_EQ(c.name, std::optional<std::string>("Clan")); // above 5: the name is still read
    EXPECT_TRUE(c.entries.empty());
    EXPECT_TRUE(c.complete);
    EXPECT_FALSE(c.usable());

    Bytes v0 = sampleFile(1);
    v0[0] = 0;
    c = listfile::decode(v0);
    EXPECT_EQ(c.formatVersion, 0);
    EXPECT_FALSE(c.name.has_value());
    EXPECT_TRUE(c.entries.empty());
    EXPECT_FALSE(c.usable());

    Bytes negative = {0xFF, 0xFF, 0xFF, 0xFF};
    c = listfile::decode(negative);
    EXPECT_EQ(c.formatVersion, -1);
    EXPECT_FALSE(c.usable());
}

TEST(ListFileFormat, EveryCutOfAValidFileFailsSafely) {
    ServerEntry a = fullEntry();
    ServerEntry b = fullEntry();
    b.comment = std::string(300, 'x');
    b.map = "\xFF\xFE\xFF"; // looks like a wide marker inside the text bytes
    Bytes whole;
    ASSERT_TRUE(listfile::encode("Cut", {a, b}, whole));
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        listfile::Contents c = listfile::decode(std::span(whole.data(), cut));
        EXPECT_FALSE(c.complete);
        EXPECT_FALSE(c.usable());
        EXPECT_LE(c.failOffset, cut);
        // Only whole entries are kept, and they are the right ones.
        ASSERT_LE(c.entries.size(), 1u);
        if (!c.entries.empty()) {
            EXPECT_EQ(c.entries[0], a);
        }
    }
    listfile::Contents c = listfile::decode(whole);
    EXPECT_TRUE(c.usable());
    EXPECT_EQ(c.entries.size(), 2u);
}

TEST(ListFileFormat, CountsThatCannotBeMetFailWithoutHugeAllocations) {
    // Entry count 0xFFFFFFFF with one entry behind it: the version-6 sample's header (version,
    // then the name "Clan" with its length byte) and first entry, the count replaced.
    Bytes six = sampleFile(6);
    const std::size_t countAt = 4 + 5;
    std::size_t secondEntry = offsetOf(six, "\x10game.example.org");
    Bytes bytes(six.begin(), six.begin() + countAt);
    Bytes hugeCount = countBytes(0xFFFFFFFF);
    bytes.insert(bytes.end(), hugeCount.begin(), hugeCount.end());
    std::size_t entryStart = bytes.size();
    bytes.insert(bytes.end(), six.begin() + countAt + 2,
                 six.begin() + static_cast<std::ptrdiff_t>(secondEntry));
    listfile::Contents c = listfile::decode(bytes);
    EXPECT_FALSE(c.complete);
    EXPECT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.failOffset, bytes.size()); // the second entry could not start
    EXPECT_GT(c.failOffset, entryStart);

    // Rule count of 2^31-1, and a negative rule count: the version-4 sample cut after the first
    // entry's two rules, their count (just before the first rule's name) replaced.
    Bytes four = sampleFile(4);
    std::size_t firstRule = offsetOf(four, "\x0Cmp_timelimit");
    std::size_t rulesEnd = offsetOf(four, "\x0Asv_gravity\x03"
                                          "800") +
                           15;
    for (std::int32_t rules : {0x7FFFFFFF, -1}) {
        Bytes v(four.begin(), four.begin() + static_cast<std::ptrdiff_t>(rulesEnd));
        ByteWriter count;
        count.i32(rules);
        std::copy(count.data().begin(), count.data().end(),
                  v.begin() + static_cast<std::ptrdiff_t>(firstRule - 4));
        c = listfile::decode(v);
        EXPECT_FALSE(c.complete) << rules;
        EXPECT_TRUE(c.entries.empty());
        // The huge count fails where the third rule would start; the negative one at the count.
        EXPECT_EQ(c.failOffset, rules < 0 ? firstRule : v.size()) << rules;
    }

    // Player count of 0xFFFFFFFF: the version-5 sample up to the first entry's player count
    // (just before player 1, "alice"), then the long count.
    Bytes five = sampleFile(5);
    std::size_t playerCountAt = offsetOf(five, "\x01\x05"
                                               "alice") -
                                2;
    Bytes p(five.begin(), five.begin() + static_cast<std::ptrdiff_t>(playerCountAt));
    p.insert(p.end(), hugeCount.begin(), hugeCount.end());
    c = listfile::decode(p);
    EXPECT_FALSE(c.complete);
    EXPECT_EQ(c.failOffset, p.size());
}

namespace {
// A version-1 file: the count, then each entry as its host text and port.
Bytes versionOneFile(const std::vector<std::string>& hosts) {
    ByteWriter w;
    w.i32(1);
    listfile::writeCount(w, static_cast<std::uint32_t>(hosts.size()));
    for (const auto& host : hosts) {
        listfile::writeText(w, host);
        w.i32(27015);
    }
    return w.take();
}
} // namespace

TEST(ListFileFormat, AFileBeyondTheLimitsIsRefusedWhole) {
    listfile::Contents atLimit = listfile::decode(
        versionOneFile(std::vector<std::string>(listfile::kMaxEntries, std::string())));
    EXPECT_TRUE(atLimit.usable());
    EXPECT_EQ(atLimit.entries.size(), listfile::kMaxEntries);

    struct Case {
        const char* what;
        Bytes file;
        const char* says;
    } cases[] = {
        {"one entry too many",
         versionOneFile(std::vector<std::string>(listfile::kMaxEntries + 1, std::string())),
         "entries"},
        {"a text too long",
         versionOneFile({"1.2.3.4", std::string(listfile::kMaxTextBytes + 1, 'x')}), "text"},
    };
    for (const auto& c : cases) {
        listfile::Contents read = listfile::decode(c.file);
        EXPECT_FALSE(read.usable()) << c.what;
        EXPECT_TRUE(read.entries.empty()) << c.what;
        EXPECT_NE(read.overLimit.find(c.says), std::string::npos)
            << c.what << ": " << read.overLimit;
    }

    // Rules of one entry: the limit is read, one more is refused (and is never written).
    std::vector<ServerEntry> entries(1);
    entries[0].rules.assign(listfile::kMaxRulesPerEntry, RuleEntry{"r", "v"});
    Bytes file;
    ASSERT_TRUE(listfile::encode("L", entries, file));
    EXPECT_TRUE(listfile::decode(file).usable());
    const std::size_t firstRule = offsetOf(file, "\x01r\x01v");
    ByteWriter count;
    count.i32(static_cast<std::int32_t>(listfile::kMaxRulesPerEntry + 1));
    std::copy(count.data().begin(), count.data().end(),
              file.begin() + static_cast<std::ptrdiff_t>(firstRule - 4));
    const Bytes extra = {0x01, 'r', 0x01, 'v'};
    file.insert(file.begin() +
                    static_cast<std::ptrdiff_t>(firstRule + 4 * listfile::kMaxRulesPerEntry),
                extra.begin(), extra.end());
    listfile::Contents tooMany = listfile::decode(file);
    EXPECT_FALSE(tooMany.usable());
    EXPECT_NE(tooMany.overLimit.find("rules"), std::string::npos) << tooMany.overLimit;
    entries[0].rules.push_back({"r", "v"});
    EXPECT_FALSE(listfile::encode("L", entries, file));
}

TEST(ListFileFormat, DottedHostsAreReadPlainAndNoEntryIsLost) {
    listfile::Contents c = listfile::decode(
        versionOneFile({"127.000.000.001", "255.255.255.255", "127.0.0.01", "game.example.org"}));
    ASSERT_TRUE(c.usable());
    std::vector<std::string> hosts;
    for (const auto& e : c.entries)
        hosts.push_back(e.address.host);
    // An address that is never asked stays in the list (it is refused when asked, not lost).
    EXPECT_EQ(hosts, (std::vector<std::string>{"127.0.0.1", "255.255.255.255", "127.0.0.1",
                                               "game.example.org"}));
}
