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
// The list files store the four flags as int32 0/1 (any non-zero value read counts as set).
struct ServerEntry {
    // What the user keeps about the server.
    ServerAddress address;
    std::string password;
    bool savePassword = false; // the password goes into the list file only when set
    bool hidePassword = false; // the password field shows asterisks
    std::string comment;
    std::int32_t lastPing = 0; // ms; 3000 or more shows as "Timeout"
    float averagePing = 0.0f;
    std::int32_t reservedSlots = -1; // -1 "Auto", otherwise 0..20
    std::int64_t lastConnected = 0;  // 0 = never
    std::uint32_t rconChallenge = 0; // kept for the session, never stored in files

    // The last info reply.
    std::int64_t infoTime = 0;
    bool infoValid = false; // set by the first info reply, never cleared
    std::string hostName;
    std::string map;
    std::string gameDir;
    std::string gameDescription;
    std::uint8_t players = 0;
    std::uint8_t maxPlayers = 0;
    std::uint8_t protocol = 0;
    std::uint8_t serverType = 0;
    std::uint8_t os = 0;
    std::uint8_t passwordRequired = 0; // the reply's byte as sent: non-zero means required
    std::uint8_t isMod = 0;

    // The last rules reply, and the rule values the monitor shows.
    std::int64_t rulesTime = 0;
    bool rulesValid = false; // set by the first rules reply, never cleared
    std::vector<RuleEntry> rules;
    std::int32_t timeLeft = 0;  // seconds
    std::int32_t timeLimit = 0; // minutes
    std::string adminModVersion;
    std::int32_t friendlyFire = 0; // mp_friendlyfire as sent; not only 0 or 1
    std::int32_t reserveSlots = 0;

    // The last players reply.
    std::int64_t playersTime = 0;
    std::vector<PlayerRecord> playerList;

    friend bool operator==(const ServerEntry&, const ServerEntry&) = default;
};

// Every field back to its default.
inline void resetEntry(ServerEntry& entry) {
    entry = ServerEntry{};
}

} // namespace ondel
