#pragma once

#include "common/ByteWriter.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ondel::test {

using Bytes = std::vector<std::uint8_t>;

inline ByteWriter outOfBand(std::uint8_t type) {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.u8(type);
    return w;
}

struct InfoFields {
    std::string address = "10.0.0.1:27015";
    std::string name = "My Server";
    std::string map = "de_dust2";
    std::string gameDir = "cstrike";
    std::string description = "Counter-Strike";
    std::uint8_t players = 5, maxPlayers = 16, protocol = 47, type = 'd', os = 'l', password = 0,
                 mod = 0;
};

// An `m` reply as servers send it: with the mod flag set, the mod block of two strings and 10
// bytes, and the trailing secure and bots bytes.
inline Bytes infoReply(const InfoFields& f = {}) {
    ByteWriter w = outOfBand('m');
    w.cString(f.address);
    w.cString(f.name);
    w.cString(f.map);
    w.cString(f.gameDir);
    w.cString(f.description);
    for (std::uint8_t b : {f.players, f.maxPlayers, f.protocol, f.type, f.os, f.password, f.mod})
        w.u8(b);
    if (f.mod) {
        w.cString("http://mod.example/");
        w.cString("http://mod.example/dl");
        w.bytes(std::string(10, '\x01'));
    }
    w.u8(1); // secure
    w.u8(0); // bots
    return w.take();
}

inline Bytes rulesReply(const std::vector<std::pair<std::string, std::string>>& rules,
                        std::uint16_t count) {
    ByteWriter w = outOfBand('E');
    w.u16(count);
    for (const auto& [name, value] : rules) {
        w.cString(name);
        w.cString(value);
    }
    return w.take();
}
inline Bytes rulesReply(const std::vector<std::pair<std::string, std::string>>& rules) {
    return rulesReply(rules, static_cast<std::uint16_t>(rules.size()));
}

struct PlayerFields {
    std::string name;
    std::int32_t frags = 0;
    float time = 0;
    int index = -1; // -1: the record's position (1, 2, ...)
};

inline Bytes playersReply(const std::vector<PlayerFields>& players) {
    ByteWriter w = outOfBand('D');
    w.u8(static_cast<std::uint8_t>(players.size()));
    int i = 1;
    for (const auto& p : players) {
        w.u8(static_cast<std::uint8_t>(p.index >= 0 ? p.index : i));
        w.cString(p.name);
        w.i32(p.frags);
        w.f32(p.time);
        ++i;
    }
    return w.take();
}

inline Bytes textReply(const std::string& payload) {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.bytes(payload);
    return w.take();
}

inline Bytes steamChallengeReply(std::int32_t challenge) {
    ByteWriter w = outOfBand('A');
    w.i32(challenge);
    return w.take();
}

struct SteamInfoFields {
    std::uint8_t protocol = 48;
    std::string name = "Steam Server";
    std::string map = "crossfire";
    std::string folder = "valve";
    std::string game = "Half-Life";
    std::uint16_t appId = 70;
    std::uint8_t players = 3, maxPlayers = 32, bots = 2, type = 'd', environment = 'w',
                 visibility = 1, vac = 1;
    std::string version = "1.1.2.7/Stdio";
    bool withExtraData = true; // game port, steam id, keywords, game id
};

inline Bytes steamInfoReply(const SteamInfoFields& f = {}) {
    ByteWriter w = outOfBand('I');
    w.u8(f.protocol);
    w.cString(f.name);
    w.cString(f.map);
    w.cString(f.folder);
    w.cString(f.game);
    w.u16(f.appId);
    for (std::uint8_t b :
         {f.players, f.maxPlayers, f.bots, f.type, f.environment, f.visibility, f.vac})
        w.u8(b);
    w.cString(f.version);
    if (f.withExtraData) {
        w.u8(0x80 | 0x10 | 0x20 | 0x01);
        w.u16(27015);
        w.u64(90071992547409920ULL);
        w.cString("secure,dm");
        w.u64(70);
    }
    return w.take();
}

// Splits a whole datagram into fragments of at most pieceSize payload bytes.
inline std::vector<Bytes> split(const Bytes& whole, std::int32_t sequence, std::size_t pieceSize) {
    std::vector<Bytes> parts;
    std::size_t total = (whole.size() + pieceSize - 1) / pieceSize;
    for (std::size_t i = 0; i < total; ++i) {
        ByteWriter w;
        w.u32(0xFFFFFFFEu);
        w.i32(sequence);
        w.u8(static_cast<std::uint8_t>((i << 4) | total));
        std::size_t begin = i * pieceSize;
        std::size_t end = std::min(whole.size(), begin + pieceSize);
        w.bytes(whole.data() + begin, end - begin);
        parts.push_back(w.take());
    }
    return parts;
}

} // namespace ondel::test
