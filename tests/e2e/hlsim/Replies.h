#pragma once

#include "UdpProbe.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ondel::hlsimtest {

// Readers of the simulator's reply datagrams for the tests. Each returns nothing unless the
// datagram has the expected header and type and ends exactly after its last field, so a
// misplaced or extra byte fails the test.

struct LegacyInfo {
    std::string address, name, map, gameDir, gameDesc;
    int players = 0, maxPlayers = 0, protocol = 0;
    char type = 0, os = 0;
    int password = 0, mod = 0;
    std::string modInfoUrl, modDownloadUrl, modSpare;
    std::int32_t modVersion = 0, modSize = 0;
    int serverSideOnly = 0, ownDll = 0;
    int secure = 0, bots = 0;
};
std::optional<LegacyInfo> readLegacyInfo(const Bytes& datagram);

struct SteamInfo {
    int protocol = 0;
    std::string name, map, folder, game;
    int appId = 0, players = 0, maxPlayers = 0, bots = 0;
    char type = 0, environment = 0;
    int visibility = 0, vac = 0;
    std::string version;
    int extraFlags = 0, port = 0;
    std::uint64_t steamId = 0, gameId = 0;
    std::string keywords;
};
std::optional<SteamInfo> readSteamInfo(const Bytes& datagram);

struct PlayerRow {
    int index = 0;
    std::string name;
    std::int32_t frags = 0;
    float time = 0.0f;
};
std::optional<std::vector<PlayerRow>> readPlayers(const Bytes& datagram);

struct RulesReply {
    int count = 0;
    std::vector<std::pair<std::string, std::string>> pairs;
    std::optional<std::string> value(const std::string& name) const;
};
std::optional<RulesReply> readRules(const Bytes& datagram);

// FF FF FF FF 'A' int32.
std::optional<std::uint32_t> readChallenge(const Bytes& datagram);
// FF FF FF FF 'l' text NUL NUL: the text.
std::optional<std::string> readPrint(const Bytes& datagram);

} // namespace ondel::hlsimtest
