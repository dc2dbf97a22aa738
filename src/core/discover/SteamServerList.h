#pragma once

#include "serverlist/ServerAddress.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// One server of the Steam Web API's server list, as far as Ondel uses it. Texts are the reply's
// strings (UTF-8); numbers out of range are clamped, never trusted.
struct SteamServer {
    ServerAddress address; // dotted IPv4 and the game port
    std::string name;
    std::string map;
    std::string gameDir;
    std::string version;
    std::string os; // "l", "w", "m" as the server reports it
    std::int32_t appId = 0;
    std::int32_t players = 0;
    std::int32_t maxPlayers = 0;
    std::int32_t bots = 0;
    bool secure = false;
    bool dedicated = false;
};

// Replies larger than this are refused without being parsed.
inline constexpr std::size_t kMaxServerListReplyBytes = 16 * 1024 * 1024;

struct SteamServerListReply {
    bool ok = false;
    std::string error; // why the reply was refused, in plain words (no key in it, ever)
    std::vector<SteamServer> servers;
    // Entries left out: addresses that cannot be queried (169.254.x.x, 0.0.0.0, unparsable) and
    // repeats of an address already listed.
    std::size_t dropped = 0;
};

// Parses a GetServerList reply: {"response":{"servers":[{...},...]}}; {"response":{}} is an
// empty list. Unknown members are skipped; a member of the wrong type counts as missing. An
// entry without a usable address is dropped; the port is "gameport" when given, else the one in
// "addr". Text that is not JSON, a truncated document, a missing "response" object or a body
// over kMaxServerListReplyBytes is refused with ok false and a reason.
SteamServerListReply parseServerListReply(std::string_view body);

// Whether an address from the list may be queried: dotted IPv4 that may be sent to
// (targetRefusal: not 0.x.x.x, broadcast, multicast or reserved), not link-local 169.254.x.x
// (listen servers that announce their private side), port 1..65535.
bool isUsableServerAddress(const ServerAddress& address);

} // namespace ondel
