#pragma once

#include "PlayerRecord.h"
#include "RuleEntry.h"
#include "ServerAddress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ondel {

// One game server: its address, the user's data about it, and the last query results.
// Time stamps are milliseconds since 1601-01-01 00:00 UTC. Texts are bytes as typed/received.
struct ServerEntry {
    ServerAddress address;                // 1
    std::string password;                 // 2
    std::int32_t savePassword = 0;        // 3 password goes into the list file only when set
    std::int32_t hidePassword = 0;        // 4
    std::string comment;                  // 5
    std::int32_t lastPing = 0;            // 6 ms; 3000 or more shows as "Timeout"
    float averagePing = 0.0f;             // 7
    std::int32_t reservedSlots = -1;      // 8 -1 "Auto", otherwise 0..20
    std::int64_t lastConnected = 0;       // 9 0 = never
    std::uint32_t rconChallenge = 0;      // 10 never stored in files
    std::int64_t infoTime = 0;            // 11
    std::int32_t infoValid = 0;           // 12
    std::string hostName;                 // 13
    std::string map;                      // 14
    std::string gameDir;                  // 15
    std::string gameDescription;          // 16
    std::uint8_t players = 0;             // 17
    std::uint8_t maxPlayers = 0;          // 18
    std::uint8_t protocol = 0;            // 19
    std::uint8_t serverType = 0;          // 20
    std::uint8_t os = 0;                  // 21
    std::uint8_t passwordRequired = 0;    // 22
    std::uint8_t isMod = 0;               // 23
    std::int64_t rulesTime = 0;           // 24
    std::int32_t rulesValid = 0;          // 25
    std::vector<RuleEntry> rules;         // 26
    std::int32_t timeLeft = 0;            // 27 seconds
    std::int32_t timeLimit = 0;           // 28 minutes
    std::string adminModVersion;          // 29
    std::int32_t friendlyFire = 0;        // 30
    std::int32_t reserveSlots = 0;        // 31
    std::int64_t playersTime = 0;         // 32
    std::vector<PlayerRecord> playerList; // 33

    friend bool operator==(const ServerEntry&, const ServerEntry&) = default;
};

// Every field back to its default.
inline void resetEntry(ServerEntry& entry) {
    entry = ServerEntry{};
}

} // namespace ondel
