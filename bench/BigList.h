#pragma once

// The large list the list benchmarks work on: count servers 10.x.y.z:27015 with a name, a
// comment, a map and game texts; with rulesAndPlayers, 30 rules and 16 players each as well
// (about 1,180 bytes an entry on disk, against about 170 without).
#include "serverlist/ServerList.h"

#include <string>

namespace ondel::bench {

inline ServerList makeBigList(const std::string& path, int count, bool rulesAndPlayers) {
    constexpr int kRules = 30;
    constexpr int kPlayers = 16;
    ServerList list(path, path, "Benchmark list");
    list.entries().reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ServerEntry e;
        e.address = {"10." + std::to_string(i / 65536) + "." + std::to_string((i / 256) % 256) +
                         "." + std::to_string(i % 256),
                     27015};
        e.hostName = "Half-Life server number " + std::to_string(i);
        e.comment = "comment";
        e.map = "de_dust2";
        e.gameDir = "cstrike";
        e.gameDescription = "Counter-Strike";
        e.adminModVersion = "2.50.60";
        e.players = kPlayers;
        e.maxPlayers = 32;
        e.lastConnected = 13300000000000 + i;
        if (rulesAndPlayers) {
            for (int r = 0; r < kRules; ++r)
                e.rules.push_back({"mp_rule_number_" + std::to_string(r), std::to_string(r * 10)});
            for (int p = 0; p < kPlayers; ++p)
                e.playerList.push_back({static_cast<std::uint8_t>(p),
                                        "Player name " + std::to_string(p), p * 3, p * 60});
        }
        list.entries().push_back(std::move(e));
    }
    return list;
}

} // namespace ondel::bench
