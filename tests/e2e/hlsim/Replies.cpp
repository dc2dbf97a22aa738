#include "Replies.h"

#include "common/ByteReader.h"

namespace ondel::hlsimtest {

namespace {

bool header(ByteReader& r, char type) {
    return r.u32() == 0xFFFFFFFF && r.u8() == static_cast<std::uint8_t>(type) && r.ok();
}

template <typename T> std::optional<T> complete(const ByteReader& r, T value) {
    if (!r.ok() || !r.atEnd())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<LegacyInfo> readLegacyInfo(const Bytes& datagram) {
    ByteReader r(datagram.data(), datagram.size());
    if (!header(r, 'm'))
        return std::nullopt;
    LegacyInfo info;
    info.address = r.cString();
    info.name = r.cString();
    info.map = r.cString();
    info.gameDir = r.cString();
    info.gameDesc = r.cString();
    info.players = r.u8();
    info.maxPlayers = r.u8();
    info.protocol = r.u8();
    info.type = static_cast<char>(r.u8());
    info.os = static_cast<char>(r.u8());
    info.password = r.u8();
    info.mod = r.u8();
    if (info.mod != 0) {
        info.modInfoUrl = r.cString();
        info.modDownloadUrl = r.cString();
        info.modSpare = r.cString();
        info.modVersion = r.i32();
        info.modSize = r.i32();
        info.serverSideOnly = r.u8();
        info.ownDll = r.u8();
    }
    info.secure = r.u8();
    info.bots = r.u8();
    return complete(r, info);
}

std::optional<SteamInfo> readSteamInfo(const Bytes& datagram) {
    ByteReader r(datagram.data(), datagram.size());
    if (!header(r, 'I'))
        return std::nullopt;
    SteamInfo info;
    info.protocol = r.u8();
    info.name = r.cString();
    info.map = r.cString();
    info.folder = r.cString();
    info.game = r.cString();
    info.appId = r.u16();
    info.players = r.u8();
    info.maxPlayers = r.u8();
    info.bots = r.u8();
    info.type = static_cast<char>(r.u8());
    info.environment = static_cast<char>(r.u8());
    info.visibility = r.u8();
    info.vac = r.u8();
    info.version = r.cString();
    if (!r.atEnd()) {
        info.extraFlags = r.u8();
        if (info.extraFlags & 0x80)
            info.port = r.u16();
        if (info.extraFlags & 0x10)
            info.steamId = r.u64();
        if (info.extraFlags & 0x40) {
            r.u16();
            r.cString();
        }
        if (info.extraFlags & 0x20)
            info.keywords = r.cString();
        if (info.extraFlags & 0x01)
            info.gameId = r.u64();
    }
    return complete(r, info);
}

std::optional<std::vector<PlayerRow>> readPlayers(const Bytes& datagram) {
    ByteReader r(datagram.data(), datagram.size());
    if (!header(r, 'D'))
        return std::nullopt;
    std::vector<PlayerRow> rows(r.u8());
    for (auto& row : rows) {
        row.index = r.u8();
        row.name = r.cString();
        row.frags = r.i32();
        row.time = r.f32();
    }
    return complete(r, rows);
}

std::optional<std::string> RulesReply::value(const std::string& name) const {
    for (const auto& [n, v] : pairs) {
        if (n == name)
            return v;
    }
    return std::nullopt;
}

std::optional<RulesReply> readRules(const Bytes& datagram) {
    ByteReader r(datagram.data(), datagram.size());
    if (!header(r, 'E'))
        return std::nullopt;
    RulesReply rules;
    rules.count = r.u16();
    while (r.ok() && !r.atEnd()) {
        std::string name = r.cString();
        std::string value = r.cString();
        rules.pairs.emplace_back(std::move(name), std::move(value));
    }
    return complete(r, rules);
}

std::optional<std::uint32_t> readChallenge(const Bytes& datagram) {
    ByteReader r(datagram.data(), datagram.size());
    if (!header(r, 'A'))
        return std::nullopt;
    std::uint32_t challenge = r.u32();
    return complete(r, challenge);
}

std::optional<std::string> readPrint(const Bytes& datagram) {
    ByteReader r(datagram.data(), datagram.size());
    if (!header(r, 'l'))
        return std::nullopt;
    std::string text = r.cString();
    if (r.u8() != 0)
        return std::nullopt;
    return complete(r, text);
}

} // namespace ondel::hlsimtest
