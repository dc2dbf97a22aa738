#pragma once

#include "query/DatagramRouter.h"
#include "query/QueryDialect.h"
#include "query/ServerQuery.h"
#include "serverlist/ServerEntry.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace ondel {

class Clock;
class ServerKnowledge;

// The monitor's current server: one ServerQuery run continuously on the monitor's once-a-second
// tick, plus the remote console's share of it (out-of-band sends as RCON traffic, printed text).
//
// The schedule keeps within what servers answer: details every second (its round trip is the
// ping), players every 2 s, rules every 10 s, about 1.6 packets a second, stretched for a server
// that limits queries (ServerKnowledge). No "ping" request is sent.
//
// The engine holds no server list. What happens to the record is reported through the result
// handler: Selected when setCurrentServer() made a record current, Info/Rules/Players/Ping after
// a reply was written into it, Miss at the tick that finds a details request unanswered past its
// time (once per request; for a server whose dialect is not settled yet, only after both
// dialects went unanswered). The application keeps its lists with these (an info reply stores
// the record at the front of the current list).
//
// Holds references to clock, router and knowledge, which must outlive it. Not thread-safe:
// everything is called on the GUI thread (the socket's notifications and the timer share it).
class QueryEngine {
public:
    static constexpr std::size_t kMaxOutOfBandText = 1019; // datagram fits in 1024 bytes

    using ReplyCounts = ServerQuery::ReplyCounts;
    using PrintHandler = std::function<void(std::string_view text)>;

    enum class Result { Selected, Info, Rules, Players, Ping, Miss };
    using ResultHandler = std::function<void(Result what, const ServerEntry& record)>;

    QueryEngine(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge);

    // The request cycle, called once per timer tick (1000 ms): rolls the router's byte counters
    // into the per-second values, then sends the current server's due requests (see
    // ServerQuery). Sends nothing while the current server has port 0, an empty host or a host
    // without a '.'.
    void queryTick();

    // Sends FF FF FF FF + text + 00 to the current server as RCON traffic (the budget lets it
    // go before queries). Refuses text over 1019 bytes. True when the platform reports it sent.
    bool sendOutOfBand(std::string_view text);
    // The same, saying why nothing went out: Held when the budget has no room for it now,
    // Failed for a text over 1019 bytes or a send the platform refused.
    DatagramRouter::SendStatus sendOutOfBandStatus(std::string_view text);

    // Makes a copy of entry the current server and the target of every request, and reports it
    // as Selected. When entry is the same server as the current one, every awaited request is
    // forgotten; a change to a different server leaves them as they are.
    void setCurrentServer(const ServerEntry& entry);
    const ServerEntry& currentServer() const { return m_query.entry(); }
    // Bots as the last Steam info reply counted them; -1 where the server does not say.
    int bots() const { return m_query.steamExtras() ? m_query.steamExtras()->bots : -1; }

    // Bytes sent and received on the socket during the last whole tick.
    std::int32_t sentPerSecond() const { return m_router.sentPerSecond(); }
    std::int32_t receivedPerSecond() const { return m_router.receivedPerSecond(); }

    // The receiver of printed text (`l` replies); one at a time (the remote console). The text
    // passed runs from after the type byte to the first 00 byte or the end of the datagram.
    void setPrintHandler(PrintHandler handler);
    void clearPrintHandler();

    void setResultHandler(ResultHandler handler) { m_resultHandler = std::move(handler); }

    // Which requests go out how often (the monitor's default: ServerQuery::polite()).
    void setSchedule(const ServerQuery::Schedule& schedule) { m_query.setSchedule(schedule); }

    // The tick at which the request of a slot was sent, 0 when none is awaited.
    std::uint32_t awaitingSince(RequestSlot slot) const { return m_query.awaitingSince(slot); }
    // The dialect the current server is being asked in, and whether a reply has settled it.
    QueryDialect dialect() const { return m_query.dialect(); }
    bool dialectSettled() const { return m_query.dialectSettled(); }
    const ReplyCounts& replyCounts() const { return m_query.replyCounts(); }
    // When the current server limits our queries: the whole seconds between two refreshes of
    // its details now; 0 while it does not.
    int limitedRefreshSeconds() const;
    // How old the data of a slot's kind may be before the views show them as stale.
    std::int64_t staleAfterMs(RequestSlot slot) const { return m_query.staleAfterMs(slot); }

private:
    void report(Result what);

    const Clock& m_clock;
    DatagramRouter& m_router;
    ServerKnowledge& m_knowledge;
    int m_unansweredDetails = 0; // in a row
    ServerQuery m_query;
    ResultHandler m_resultHandler;
};

} // namespace ondel
