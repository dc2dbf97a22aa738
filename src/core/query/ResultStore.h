#pragma once

#include "query/QueryEngine.h"

namespace ondel {

class ServerListSet;

// What the lists keep of the monitor's current server, as the engine reports it: a record made
// current is written back into the current list when that list holds the server (moving it to
// the front); every accepted info reply stores the record at the front of the current list,
// adding it when it is new. Nothing happens while there is no list.
void storeResult(ServerListSet& lists, QueryEngine::Result what, const ServerEntry& record);

} // namespace ondel
