#pragma once

#include "serverlist/ServerEntry.h"

#include <string>

namespace ondel {

// What one scan read of a server, as the rules for made-up answers look at it.
struct ScanEvidence {
    const ServerEntry* entry = nullptr; // details (and players, rules when they came)
    bool gotPlayers = false;            // a players reply arrived: entry->playerList is current
    int bots = -1;                      // bots as the details counted them; -1: not said
};

// Why a server's answers look made up rather than played, or empty when nothing betrays it.
// The rules look only at one server's own answers, never at how many servers share an address:
// a hoster runs many honest servers on one address.
//  - every listed player (at least four who are not bots) connected for the same time, within
//    one second: real players join at different times; a farm fills its list in one go;
//  - more players than slots, beyond the reserved slots the rules report;
//  - a player list that holds a different number of players than the details count, by more
//    than the bots (some servers leave bots out of the list) and a join or two between the
//    replies.
// Pure function.
std::string madeUpReason(const ScanEvidence& evidence);

} // namespace ondel
