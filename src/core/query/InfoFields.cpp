#include "query/InfoFields.h"

#include <utility>

namespace ondel {

void InfoFields::storeIn(ServerEntry& entry) && {
    entry.hostName = std::move(hostName);
    entry.map = std::move(map);
    entry.gameDir = std::move(gameDir);
    entry.gameDescription = std::move(gameDescription);
    entry.players = players;
    entry.maxPlayers = maxPlayers;
    entry.protocol = protocol;
    entry.serverType = serverType;
    entry.os = os;
    entry.passwordRequired = passwordRequired;
    entry.isMod = isMod;
}

} // namespace ondel
