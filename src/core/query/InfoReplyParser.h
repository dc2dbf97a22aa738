#pragma once

#include "serverlist/ServerEntry.h"

#include <cstddef>
#include <cstdint>

namespace ondel {

// The legacy info reply (type `m`): FF FF FF FF 'm', the server's own address text (not used),
// name, map, game directory and game description strings, then players, max players, protocol,
// server type, operating system, password and mod flag bytes; with the mod flag set two more
// strings and 10 bytes follow (not used). Anything after that is ignored.
class InfoReplyParser {
public:
    // Parses a whole datagram (header included). On success writes hostName, map, gameDir,
    // gameDescription, players, maxPlayers, protocol, serverType, os, passwordRequired and isMod
    // into entry and returns true. A reply that is not an `m` reply or ends before the mod flag
    // leaves entry untouched and returns false (a cut-off mod block does not matter).
    static bool parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry);
};

} // namespace ondel
