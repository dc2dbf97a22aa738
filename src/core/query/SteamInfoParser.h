#pragma once

#include "serverlist/ServerEntry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ondel {

// What an A2S_INFO `I` reply carries beyond the fields of a ServerEntry.
struct SteamInfoExtras {
    std::uint16_t appId = 0;
    std::uint8_t bots = 0;
    std::uint8_t vac = 0;
    std::string version;
    std::uint8_t extraDataFlags = 0;
    std::optional<std::uint16_t> gamePort;      // flag 0x80
    std::optional<std::uint64_t> steamId;       // flag 0x10
    std::optional<std::uint16_t> spectatorPort; // flag 0x40, with spectatorName
    std::string spectatorName;
    std::optional<std::string> keywords; // flag 0x20
    std::optional<std::uint64_t> gameId; // flag 0x01
};

// The Steam info reply (type `I`): protocol byte; name, map, folder and game strings; int16 app
// id; players, max players, bots, server type, environment, visibility and VAC bytes; the
// version string; then an optional extra-data flag byte and the fields it announces.
class SteamInfoParser {
public:
    // Parses a whole datagram (header included). Everything up to the version string must be
    // there, and every extra-data field the flag byte announces; otherwise entry is left
    // untouched and the result is false. On success the record
    // gets protocol, hostName, map, gameDir (folder), gameDescription (game), players,
    // maxPlayers, serverType, os (environment), passwordRequired (visibility) and isMod (set
    // when the folder is not "valve").
    static bool parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry,
                      SteamInfoExtras* extras = nullptr);
};

} // namespace ondel
