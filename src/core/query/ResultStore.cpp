#include "query/ResultStore.h"

#include "serverlist/ServerListSet.h"

namespace ondel {

void storeResult(ServerListSet& lists, QueryEngine::Result what, const ServerEntry& record) {
    if (lists.empty())
        return;
    ServerList& list = lists.current();
    switch (what) {
    case QueryEngine::Result::Selected:
        if (list.find(record.address) != -1)
            list.storeEntry(record);
        break;
    case QueryEngine::Result::Info:
        list.storeEntry(record);
        break;
    default:
        break;
    }
}

} // namespace ondel
