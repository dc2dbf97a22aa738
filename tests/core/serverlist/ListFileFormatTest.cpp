#include "serverlist/ListFileFormat.h"

#include "ListTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ondel;
using ondel::test::shortText;

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
    e.savePassword = 1;
    e.hidePassword = 1;
    e.comment = "note";
    e.lastPing = 42;
    e.averagePing = 41.5f;
    e.reservedSlots = 3;
    e.lastConnected = 13300000000000;
    e.infoTime = 13300000001000;
    e.infoValid = 1;
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
    e.rulesValid = 1;
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

// Writes e in the layout of the given format version, as the program's older releases did.
void writeOldEntry(ByteWriter& w, int version, const ServerEntry& e) {
    shortText(w, e.address.host);
    w.i32(e.address.port);
    if (version >= 2) {
        shortText(w, e.hostName);
        w.i32(e.savePassword);
        w.i32(e.hidePassword);
        if (e.savePassword)
            shortText(w, e.password);
    }
    if (version >= 3) {
        shortText(w, e.comment);
        w.i32(e.lastPing);
        w.f32(e.averagePing);
        shortText(w, e.map);
        shortText(w, e.gameDir);
        shortText(w, e.gameDescription);
        w.i32(e.infoValid);
        for (std::uint8_t b :
             {e.players, e.maxPlayers, e.protocol, e.serverType, e.os, e.passwordRequired, e.isMod})
            w.u8(b);
    }
    if (version >= 4) {
        w.i32(e.reservedSlots);
        w.i64(e.rulesTime);
        w.i32(e.rulesValid);
        w.i32(static_cast<std::int32_t>(e.rules.size()));
        for (const auto& r : e.rules) {
            shortText(w, r.name);
            shortText(w, r.value);
        }
        w.i32(e.timeLeft);
        w.i32(e.timeLimit);
        w.i32(e.friendlyFire);
        w.i32(e.reserveSlots);
        shortText(w, e.adminModVersion);
    }
    if (version >= 5) {
        w.i64(e.lastConnected);
        w.i64(e.infoTime);
        w.i64(e.playersTime);
        w.u16(static_cast<std::uint16_t>(e.playerList.size()));
        for (const auto& p : e.playerList) {
            w.u8(p.index);
            shortText(w, p.name);
            w.i32(p.frags);
            w.i32(p.time);
        }
    }
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

Bytes oldFile(int version, const std::vector<ServerEntry>& entries, const std::string& name = "") {
    ByteWriter w;
    w.i32(version);
    if (version >= 6)
        shortText(w, name);
    w.u16(static_cast<std::uint16_t>(entries.size()));
    for (const auto& e : entries)
        writeOldEntry(w, version, e);
    return w.take();
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
    ServerEntry first = fullEntry();
    ServerEntry second = fullEntry();
    second.address = {"game.example.org", 27016};
    second.savePassword = 0; // its password is not in the file
    second.hostName = "Other";
    second.rules = {{"a", "1"}};
    second.playerList = {{7, "carol", 3, 9}};
    for (int version = 1; version <= 6; ++version) {
        SCOPED_TRACE(version);
        listfile::Contents c = listfile::decode(oldFile(version, {first, second}, "Clan"));
        EXPECT_TRUE(c.complete);
        EXPECT_TRUE(c.usable());
        EXPECT_EQ(c.formatVersion, version);
        EXPECT_EQ(c.name.has_value(), version == 6);
        if (version == 6) {
            EXPECT_EQ(*c.name, "Clan");
        }
        ASSERT_EQ(c.entries.size(), 2u);
        EXPECT_EQ(c.entries[0], expectedFor(version, first));
        EXPECT_EQ(c.entries[1], expectedFor(version, second));
        EXPECT_EQ(c.entries[1].password, "");
        if (version < 4) {
            EXPECT_EQ(c.entries[0].reservedSlots, -1); // "Auto", not 0
        }
    }
}

TEST(ListFileFormat, WritesVersionSixFieldByField) {
    ServerEntry e = fullEntry();
    e.rconChallenge = 12345; // never stored
    Bytes out;
    ASSERT_TRUE(listfile::encode("Team", {e}, out));

    ByteWriter w;
    w.i32(6);
    shortText(w, "Team");
    w.u16(1);
    writeOldEntry(w, 6, e);
    EXPECT_EQ(out, w.data());
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
    b.savePassword = 0;
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
    e.savePassword = 0;
    Bytes out;
    ASSERT_TRUE(listfile::encode("n", {e}, out));
    std::string asText(out.begin(), out.end());
    EXPECT_EQ(asText.find("sekrit-pass"), std::string::npos);
    listfile::Contents c = listfile::decode(out);
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].password, "");

    e.savePassword = 7; // any non-zero value saves it
    ASSERT_TRUE(listfile::encode("n", {e}, out));
    c = listfile::decode(out);
    ASSERT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.entries[0].password, "sekrit-pass");
    EXPECT_EQ(c.entries[0].savePassword, 7);
}

TEST(ListFileFormat, VersionsOutsideOneToSixGiveNoEntries) {
    ServerEntry e = fullEntry();
    Bytes v7 = oldFile(6, {e}, "Future");
    v7[0] = 7;
    listfile::Contents c = listfile::decode(v7);
    EXPECT_EQ(c.formatVersion, 7);
    EXPECT_EQ(c.name, std::optional<std::string>("Future")); // above 5: the name is still read
    EXPECT_TRUE(c.entries.empty());
    EXPECT_TRUE(c.complete);
    EXPECT_FALSE(c.usable());

    Bytes v0 = oldFile(1, {e});
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
    // Entry count 0xFFFFFFFF with one entry behind it.
    ByteWriter w;
    w.i32(6);
    shortText(w, "x");
    listfile::writeCount(w, 0xFFFFFFFF);
    std::size_t entryStart = w.size();
    writeOldEntry(w, 6, ServerEntry{});
    listfile::Contents c = listfile::decode(w.data());
    EXPECT_FALSE(c.complete);
    EXPECT_EQ(c.entries.size(), 1u);
    EXPECT_EQ(c.failOffset, w.size()); // the second entry could not start
    EXPECT_GT(c.failOffset, entryStart);

    // Rule count of 2^31-1, and a negative rule count.
    for (std::int32_t rules : {0x7FFFFFFF, -1}) {
        ByteWriter v;
        v.i32(4);
        v.u16(1);
        ServerEntry e;
        writeOldEntry(v, 3, e);
        v.i32(-1);
        v.i64(0);
        v.i32(0);
        std::size_t countEnd = v.size() + 4;
        v.i32(rules);
        v.bytes("\x01"
                "a\x01"
                "b");
        c = listfile::decode(v.data());
        EXPECT_FALSE(c.complete) << rules;
        EXPECT_TRUE(c.entries.empty());
        // The huge count fails where the second rule would start; the negative one at the count.
        EXPECT_EQ(c.failOffset, rules < 0 ? countEnd : v.size()) << rules;
    }

    // Player count of 0xFFFFFFFF.
    ByteWriter p;
    p.i32(5);
    p.u16(1);
    ServerEntry e;
    ByteWriter body;
    writeOldEntry(body, 4, e);
    p.bytes(body.data().data(), body.size());
    p.i64(1);
    p.i64(2);
    p.i64(3);
    listfile::writeCount(p, 0xFFFFFFFF);
    c = listfile::decode(p.data());
    EXPECT_FALSE(c.complete);
    EXPECT_EQ(c.failOffset, p.size());
}
