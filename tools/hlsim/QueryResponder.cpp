#include "QueryResponder.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"

#include <algorithm>
#include <map>

namespace ondel::hlsim {

namespace {

constexpr std::uint32_t kHeader = 0xFFFFFFFF;
constexpr std::uint8_t kLegacyProtocol = 47;
constexpr std::uint8_t kSteamProtocol = 48;
constexpr std::string_view kInfoQuery = "Source Engine Query";

// Steam application ids of the Half-Life games, by game directory.
std::uint16_t appIdFor(const std::string& gameDir) {
    static const std::map<std::string, std::uint16_t> ids = {
        {"cstrike", 10}, {"tfc", 20},      {"dod", 30},   {"dmc", 40},
        {"gearbox", 50}, {"ricochet", 60}, {"valve", 70}, {"czero", 80},
    };
    auto it = ids.find(gameDir);
    return it != ids.end() ? it->second : 70;
}

ByteWriter replyStart(char type) {
    ByteWriter w;
    w.u32(kHeader);
    w.u8(static_cast<std::uint8_t>(type));
    return w;
}

std::uint8_t clampByte(std::size_t n) {
    return static_cast<std::uint8_t>(std::min<std::size_t>(n, 255));
}

// The text of a legacy request: the bytes after the header up to the trailing NUL, line feed or
// blanks that different clients add.
std::string requestWord(ByteReader& reader) {
    std::string word = reader.bytes(reader.remaining());
    while (!word.empty() && (word.back() == '\0' || word.back() == '\n' || word.back() == '\r' ||
                             word.back() == ' '))
        word.pop_back();
    return word;
}

} // namespace

QueryResponder::QueryResponder(std::uint32_t seed) : m_challenges(seed) {}

std::vector<Datagram> QueryResponder::answer(std::span<const std::uint8_t> request,
                                             const std::string& senderIp, const ServerState& state,
                                             double now) {
    ByteReader reader(request);
    if (reader.u32() != kHeader || !reader.ok() || reader.atEnd())
        return {};
    const Dialect dialect = state.options().dialect;
    const bool legacy = dialect != Dialect::Steam;
    const bool steam = dialect != Dialect::Legacy;
    const std::uint8_t type = reader.peek();

    if (type == 'i') // the old client-to-server ping, answered like "ping"
        return {pingReply()};

    if (steam && type == 'T') {
        reader.u8();
        if (reader.cString() != kInfoQuery || !reader.ok())
            return {};
        if (state.options().infoChallenge) {
            std::uint32_t given = reader.remaining() >= 4 ? reader.u32() : 0xFFFFFFFF;
            if (!m_challenges.matches(senderIp, given))
                return {challengeReply(m_challenges.challengeFor(senderIp))};
        }
        if (state.options().infoBoth)
            return {legacyInfoReply(state), steamInfoReply(state)};
        return {steamInfoReply(state)};
    }
    if (steam && (type == 'U' || type == 'V')) {
        reader.u8();
        std::uint32_t given = reader.remaining() >= 4 ? reader.u32() : 0xFFFFFFFF;
        if (!m_challenges.matches(senderIp, given))
            return {challengeReply(m_challenges.challengeFor(senderIp))};
        return {type == 'U' ? playersReply(state, now) : rulesReply(state, now)};
    }
    if (steam && type == 'W') // the old explicit challenge request
        return {challengeReply(m_challenges.challengeFor(senderIp))};

    std::string word = requestWord(reader);
    if (word == "ping")
        return {pingReply()};
    if (!legacy)
        return {};
    if (word == "details")
        return {legacyInfoReply(state)};
    if (word == "rules")
        return {rulesReply(state, now)};
    if (word == "players")
        return {playersReply(state, now)};
    return {};
}

Datagram QueryResponder::pingReply() {
    ByteWriter w = replyStart('j');
    w.u8(0);
    return w.take();
}

Datagram QueryResponder::legacyInfoReply(const ServerState& state) {
    const HlsimOptions& o = state.options();
    ByteWriter w = replyStart('m');
    w.cString(state.addressText());
    w.cString(state.name());
    w.cString(state.map());
    w.cString(o.gameDir);
    w.cString(state.gameDesc());
    w.u8(clampByte(state.players().size()));
    w.u8(clampByte(static_cast<std::size_t>(state.maxPlayers())));
    w.u8(kLegacyProtocol);
    w.u8(static_cast<std::uint8_t>(o.type));
    w.u8(static_cast<std::uint8_t>(o.os));
    w.u8(state.password() ? 1 : 0);
    w.u8(o.mod ? 1 : 0);
    if (o.mod) {
        // The mod block as servers send it: three strings (info address, download address and
        // an empty one), then ten bytes: int32 version, int32 size, one byte "server-side
        // only" and one byte "own client dll". Clients that skip two strings and ten bytes
        // land before the last two of those bytes, which they ignore anyway.
        w.cString("https://ondel.invalid/mods/" + o.gameDir);
        w.cString("https://ondel.invalid/mods/" + o.gameDir + "/download");
        w.cString("");
        w.i32(1);
        w.i32(184000000);
        w.u8(1);
        w.u8(1);
    }
    w.u8(o.secure ? 1 : 0);
    w.u8(clampByte(static_cast<std::size_t>(state.botCount())));
    return w.take();
}

Datagram QueryResponder::steamInfoReply(const ServerState& state) {
    const HlsimOptions& o = state.options();
    ByteWriter w = replyStart('I');
    w.u8(kSteamProtocol);
    w.cString(state.name());
    w.cString(state.map());
    w.cString(o.gameDir);
    w.cString(state.gameDesc());
    const std::uint16_t appId = appIdFor(o.gameDir);
    w.u16(appId);
    w.u8(clampByte(state.players().size()));
    w.u8(clampByte(static_cast<std::size_t>(state.maxPlayers())));
    w.u8(clampByte(static_cast<std::size_t>(state.botCount())));
    w.u8(static_cast<std::uint8_t>(o.type));
    w.u8(static_cast<std::uint8_t>(o.os));
    w.u8(state.password() ? 1 : 0);
    w.u8(o.secure ? 1 : 0);
    w.cString(o.version);
    std::uint8_t flags = 0x80;
    if (o.infoExtra)
        flags |= 0x10 | 0x20 | 0x01;
    w.u8(flags);
    w.u16(static_cast<std::uint16_t>(state.port()));
    if (o.infoExtra) {
        w.u64(90000000000000000ULL + appId);
        w.cString("hlsim,simulated");
        w.u64(appId);
    }
    return w.take();
}

Datagram QueryResponder::playersReply(const ServerState& state, double now) {
    ByteWriter w = replyStart('D');
    const auto& players = state.players();
    const std::size_t count = std::min<std::size_t>(players.size(), 255);
    w.u8(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        w.u8(static_cast<std::uint8_t>(i + 1));
        w.cString(players[i].name);
        w.i32(players[i].frags);
        w.f32(static_cast<float>(ServerState::connectedSeconds(players[i], now)));
    }
    return w.take();
}

Datagram QueryResponder::rulesReply(const ServerState& state, double now) {
    ByteWriter w = replyStart('E');
    RuleList rules = state.rules(now);
    w.u16(static_cast<std::uint16_t>(std::min<std::size_t>(rules.size(), 0xFFFF)));
    for (const auto& [name, value] : rules) {
        w.cString(name);
        w.cString(value);
    }
    return w.take();
}

Datagram QueryResponder::challengeReply(std::uint32_t challenge) {
    ByteWriter w = replyStart('A');
    w.u32(challenge);
    return w.take();
}

} // namespace ondel::hlsim
