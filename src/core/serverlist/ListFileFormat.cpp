#include "ListFileFormat.h"
#include "common/Utf8.h"

#include "common/Text.h"
#include "serverlist/TargetAddress.h"

#include <algorithm>
#include <limits>

namespace ondel::listfile {

namespace {

constexpr std::uint8_t kLongPrefix = 0xFF;
constexpr std::uint16_t kWideMarker = 0xFFFE;
constexpr std::uint16_t kLongerPrefix = 0xFFFF;

// Fewest bytes an entry record of a version can take (every text empty, no rules, no players,
// no password). Used only to bound how many entries a count may reserve room for.
std::size_t minimumEntryBytes(std::int32_t version) {
    std::size_t n = 1 + 4; // host, port
    if (version >= 2)
        n += 1 + 4 + 4; // hostName, savePassword, hidePassword
    if (version >= 3)
        n += 1 + 4 + 4 + 1 + 1 + 1 + 4 + 7; // comment, pings, 3 texts, infoValid, 7 bytes
    if (version >= 4)
        n += 4 + 8 + 4 + 4 + 4 * 4 + 1; // reservedSlots, rulesTime, rulesValid, count, 4 ints, text
    if (version >= 5)
        n += 8 + 8 + 8 + 2; // three times, player count
    return n;
}

constexpr std::size_t kMinimumRuleBytes = 1 + 1;
constexpr std::size_t kMinimumPlayerBytes = 1 + 1 + 4 + 4;

// How many elements to reserve for a count: never more than the bytes left could hold, so a
// hostile count cannot make the reader allocate beyond the size of the file.
std::size_t boundedReserve(std::uint64_t count, const ByteReader& in, std::size_t minimumBytes) {
    std::uint64_t fit = in.remaining() / minimumBytes;
    return static_cast<std::size_t>(std::min(count, fit));
}

// A length after the first prefix byte: plain, FF + uint16, or FF FF FF + uint32. Sets wide when
// the UTF-16 marker was met (the caller then reads a second length).
std::uint64_t readLength(ByteReader& in, bool& wide) {
    wide = false;
    std::uint8_t first = in.u8();
    if (first != kLongPrefix)
        return first;
    std::uint16_t second = in.u16();
    if (second == kWideMarker) {
        wide = true;
        return 0;
    }
    if (second == kLongerPrefix)
        return in.u32();
    return second;
}

// UTF-16LE code units to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string utf16ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    std::size_t n = bytes.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            char16_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                text::appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                                          (static_cast<char32_t>(low) - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            text::appendUtf8(out, 0xFFFD);
        else
            text::appendUtf8(out, u);
    }
    return out;
}

bool supported(std::int32_t version) {
    return version >= kOldestVersion && version <= kCurrentVersion;
}

// The limits while reading. Elements are counted as they are read (a count that the data cannot
// meet fails as damage, as before), and room is never reserved beyond a limit.
struct Limits {
    std::size_t items = 0;
    std::string overLimit;

    // Before reading element number `index` (0-based) of an entry's rules or players.
    bool mayRead(ByteReader& in, std::size_t index, std::size_t perEntry, const char* what) {
        if (index >= perEntry)
            overLimit = text::format("an entry holds more than %zu %s", perEntry, what);
        else if (++items > kMaxItems)
            overLimit = text::format("the entries hold more than %zu rules and players", kMaxItems);
        else
            return true;
        in.fail();
        return false;
    }
};

// readText with the length limit.
std::string readBoundedText(ByteReader& in, Limits& limits) {
    std::string s = readText(in);
    if (s.size() > kMaxTextBytes) {
        limits.overLimit = text::format("a text is longer than %zu bytes", kMaxTextBytes);
        in.fail();
        return {};
    }
    return s;
}

void readRules(ByteReader& in, ServerEntry& e, Limits& limits) {
    std::int32_t count = in.i32();
    if (count < 0) {
        // The writer never produces a negative count: the file is damaged here.
        in.fail();
        return;
    }
    e.rules.reserve(std::min(kMaxRulesPerEntry, boundedReserve(static_cast<std::uint64_t>(count),
                                                               in, kMinimumRuleBytes)));
    for (std::int32_t i = 0; i < count && in.ok(); ++i) {
        if (!limits.mayRead(in, static_cast<std::size_t>(i), kMaxRulesPerEntry, "rules"))
            return;
        RuleEntry rule;
        rule.name = readBoundedText(in, limits);
        rule.value = readBoundedText(in, limits);
        if (in.ok())
            e.rules.push_back(std::move(rule));
    }
}

void readPlayers(ByteReader& in, ServerEntry& e, Limits& limits) {
    std::uint32_t count = readCount(in);
    e.playerList.reserve(
        std::min(kMaxPlayersPerEntry, boundedReserve(count, in, kMinimumPlayerBytes)));
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        if (!limits.mayRead(in, i, kMaxPlayersPerEntry, "players"))
            return;
        PlayerRecord p;
        p.index = in.u8();
        p.name = readBoundedText(in, limits);
        p.frags = in.i32();
        p.time = in.i32();
        if (in.ok())
            e.playerList.push_back(std::move(p));
    }
}

// Reads one entry record into e (which holds the defaults); the groups follow the version.
void readEntry(ByteReader& in, ServerEntry& e, std::int32_t version, Limits& limits) {
    auto readStr = [&in, &limits] { return readBoundedText(in, limits); };
    e.address.host = readStr();
    // Dotted hosts are kept plain ("127.000.000.001" as 127.0.0.1), as replies come from them.
    normaliseDottedHost(e.address.host);
    e.address.port = in.i32();
    if (version >= 2) {
        e.hostName = readStr();
        e.savePassword = in.i32() != 0;
        e.hidePassword = in.i32() != 0;
        if (e.savePassword)
            e.password = readStr();
    }
    if (version >= 3) {
        e.comment = readStr();
        e.lastPing = in.i32();
        e.averagePing = in.f32();
        e.map = readStr();
        e.gameDir = readStr();
        e.gameDescription = readStr();
        e.infoValid = in.i32() != 0;
        e.players = in.u8();
        e.maxPlayers = in.u8();
        e.protocol = in.u8();
        e.serverType = in.u8();
        e.os = in.u8();
        e.passwordRequired = in.u8();
        e.isMod = in.u8();
    }
    if (version >= 4) {
        e.reservedSlots = in.i32();
        e.rulesTime = in.i64();
        e.rulesValid = in.i32() != 0;
        readRules(in, e, limits);
        e.timeLeft = in.i32();
        e.timeLimit = in.i32();
        e.friendlyFire = in.i32();
        e.reserveSlots = in.i32();
        e.adminModVersion = readStr();
    }
    if (version >= 5) {
        e.lastConnected = in.i64();
        e.infoTime = in.i64();
        e.playersTime = in.i64();
        readPlayers(in, e, limits);
    }
}

std::size_t textBytes(const std::string& s) {
    std::size_t prefix = s.size() < kLongPrefix ? 1 : s.size() < kWideMarker ? 3 : 7;
    return prefix + s.size();
}

// The exact size of an entry record as writeEntry writes it, so the whole file is built in one
// buffer without reallocations (a large list is tens of megabytes).
std::size_t entryBytes(const ServerEntry& e) {
    std::size_t n = minimumEntryBytes(kCurrentVersion) + 4; // player count may take 6 bytes
    for (const std::string* t : {&e.address.host, &e.hostName, &e.comment, &e.map, &e.gameDir,
                                 &e.gameDescription, &e.adminModVersion})
        n += textBytes(*t) - 1;
    if (e.savePassword)
        n += textBytes(e.password);
    for (const auto& rule : e.rules)
        n += textBytes(rule.name) + textBytes(rule.value);
    for (const auto& p : e.playerList)
        n += kMinimumPlayerBytes - 1 + textBytes(p.name);
    return n;
}

void writeEntry(ByteWriter& out, const ServerEntry& e, bool& ok) {
    auto text = [&](const std::string& s) {
        ok = s.size() <= kMaxTextBytes && writeText(out, s) && ok;
    };
    text(e.address.host);
    out.i32(e.address.port);
    text(e.hostName);
    out.i32(e.savePassword ? 1 : 0);
    out.i32(e.hidePassword ? 1 : 0);
    if (e.savePassword)
        text(e.password);
    text(e.comment);
    out.i32(e.lastPing);
    out.f32(e.averagePing);
    text(e.map);
    text(e.gameDir);
    text(e.gameDescription);
    out.i32(e.infoValid ? 1 : 0);
    out.u8(e.players);
    out.u8(e.maxPlayers);
    out.u8(e.protocol);
    out.u8(e.serverType);
    out.u8(e.os);
    out.u8(e.passwordRequired);
    out.u8(e.isMod);
    out.i32(e.reservedSlots);
    out.i64(e.rulesTime);
    out.i32(e.rulesValid ? 1 : 0);
    if (e.rules.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        ok = false;
        return;
    }
    out.i32(static_cast<std::int32_t>(e.rules.size()));
    for (const auto& rule : e.rules) {
        text(rule.name);
        text(rule.value);
    }
    out.i32(e.timeLeft);
    out.i32(e.timeLimit);
    out.i32(e.friendlyFire);
    out.i32(e.reserveSlots);
    text(e.adminModVersion);
    out.i64(e.lastConnected);
    out.i64(e.infoTime);
    out.i64(e.playersTime);
    if (e.playerList.size() > std::numeric_limits<std::uint32_t>::max()) {
        ok = false;
        return;
    }
    writeCount(out, static_cast<std::uint32_t>(e.playerList.size()));
    for (const auto& p : e.playerList) {
        out.u8(p.index);
        text(p.name);
        out.i32(p.frags);
        out.i32(p.time);
    }
}

} // namespace

void writeCount(ByteWriter& out, std::uint32_t count) {
    if (count < 0xFFFF) {
        out.u16(static_cast<std::uint16_t>(count));
    } else {
        out.u16(0xFFFF);
        out.u32(count);
    }
}

std::uint32_t readCount(ByteReader& in) {
    std::uint16_t shortCount = in.u16();
    if (shortCount != 0xFFFF)
        return shortCount;
    return in.u32();
}

bool writeText(ByteWriter& out, std::string_view text) {
    std::size_t n = text.size();
    if (n > std::numeric_limits<std::uint32_t>::max())
        return false;
    if (n < kLongPrefix) {
        out.u8(static_cast<std::uint8_t>(n));
    } else if (n < kWideMarker) {
        out.u8(kLongPrefix);
        out.u16(static_cast<std::uint16_t>(n));
    } else {
        out.u8(kLongPrefix);
        out.u16(kLongerPrefix);
        out.u32(static_cast<std::uint32_t>(n));
    }
    out.bytes(text);
    return true;
}

std::string readText(ByteReader& in) {
    bool wide = false;
    std::uint64_t length = readLength(in, wide);
    if (!in.ok())
        return {};
    if (!wide)
        return in.bytes(static_cast<std::size_t>(length));
    bool wideAgain = false;
    std::uint64_t characters = readLength(in, wideAgain);
    if (!in.ok())
        return {};
    if (wideAgain || characters > in.remaining() / 2) {
        // A marker inside a marker means nothing; a length past the end cannot be met.
        in.fail();
        return {};
    }
    return utf16ToUtf8(in.bytes(static_cast<std::size_t>(characters * 2)));
}

Contents decode(std::span<const std::uint8_t> bytes) {
    Contents c;
    ByteReader in(bytes);
    c.formatVersion = in.i32();
    if (in.ok() && c.formatVersion > 5) {
        std::string name = readText(in);
        if (in.ok())
            c.name = std::move(name);
    }
    Limits limits;
    if (bytes.size() > kMaxListFileBytes) {
        limits.overLimit = text::format("the file is larger than %zu MiB", kMaxListFileBytes >> 20);
        in.fail();
    }
    if (in.ok() && supported(c.formatVersion)) {
        std::uint32_t count = readCount(in);
        c.entries.reserve(
            std::min(kMaxEntries, boundedReserve(count, in, minimumEntryBytes(c.formatVersion))));
        for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
            if (i >= kMaxEntries) {
                limits.overLimit = text::format("it holds more than %zu entries", kMaxEntries);
                in.fail();
                break;
            }
            ServerEntry e;
            readEntry(in, e, c.formatVersion, limits);
            if (in.ok())
                c.entries.push_back(std::move(e));
        }
    }
    c.complete = in.ok();
    c.failOffset = c.complete ? 0 : in.position();
    if (!limits.overLimit.empty()) {
        c.overLimit = std::move(limits.overLimit);
        c.entries.clear();
        c.entries.shrink_to_fit();
    }
    return c;
}

bool encode(const std::string& name, const std::vector<ServerEntry>& entries,
            std::vector<std::uint8_t>& out) {
    if (entries.size() > kMaxEntries)
        return false;
    std::size_t items = 0;
    for (const auto& e : entries) {
        if (e.rules.size() > kMaxRulesPerEntry || e.playerList.size() > kMaxPlayersPerEntry)
            return false;
        items += e.rules.size() + e.playerList.size();
    }
    if (items > kMaxItems)
        return false;
    ByteWriter w;
    std::size_t total = 4 + textBytes(name) + 6;
    for (const auto& e : entries)
        total += entryBytes(e);
    w.reserve(total);
    w.i32(kCurrentVersion);
    bool ok = writeText(w, name);
    writeCount(w, static_cast<std::uint32_t>(entries.size()));
    for (const auto& e : entries) {
        writeEntry(w, e, ok);
        if (!ok)
            return false;
    }
    if (!ok)
        return false;
    out = w.take();
    return true;
}

bool encodeHeader(const std::string& name, std::size_t count, std::vector<std::uint8_t>& out) {
    if (count > std::numeric_limits<std::uint32_t>::max())
        return false;
    ByteWriter w;
    w.reserve(4 + textBytes(name) + 6);
    w.i32(kCurrentVersion);
    if (!writeText(w, name))
        return false;
    writeCount(w, static_cast<std::uint32_t>(count));
    out = w.take();
    return true;
}

bool encodeEntry(const ServerEntry& entry, std::vector<std::uint8_t>& out) {
    ByteWriter w;
    w.reserve(entryBytes(entry));
    bool ok = true;
    writeEntry(w, entry, ok);
    if (!ok)
        return false;
    out = w.take();
    return true;
}

} // namespace ondel::listfile
