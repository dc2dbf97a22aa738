#pragma once

#include "query/QueryDialect.h"
#include "serverlist/ServerAddress.h"
#include "serverlist/ServerEntry.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ondel {

class Clock;
class DatagramRouter;
class ServerKnowledge;
class ServerQuery;

// What one scan learnt about one server. Reported once per queued address.
struct ScanResult {
    enum class Status {
        Up,      // the server answered details (players and rules may still be missing)
        Timeout, // no details answer within the timeout, retry included
    };

    std::size_t index = 0; // position of the address in the order it was queued (0-based)
    ServerAddress address;
    Status status = Status::Timeout;
    // The dialect the server answered in; empty on a timeout unless an earlier run learnt it.
    std::optional<QueryDialect> dialect;
    // Round trip of the first details request that was answered, in ms; -1 on a timeout.
    std::int32_t pingMs = -1;
    // The record as the replies filled it: hostName, map, gameDir, gameDescription, players,
    // maxPlayers, protocol, serverType, os, passwordRequired, isMod, infoValid/infoTime,
    // playerList/playersTime, rules/rulesValid/rulesTime and the five rule values, lastPing.
    // On a timeout only entry.address is set.
    ServerEntry entry;
    bool gotPlayers = false; // a players reply arrived (an empty server has an empty list)
    bool gotRules = false;   // a rules reply arrived (only asked for with ScanOptions::withRules)
    // Bots as the Steam info reply counts them; -1 where the server does not say (legacy).
    int bots = -1;
};

struct ScanOptions {
    // Servers being asked at the same time (at least 1). Servers that never answer hold their
    // place until the timeout, so this is well above what the pace starts in one timeout.
    int concurrency = 512;
    // Time one server is given from its first request, retry included (ms).
    std::uint32_t timeoutMs = 2500;
    // Requests left unanswered this long are sent once more (ms). At most one retry.
    std::uint32_t retryAfterMs = 1000;
    // Ask for the rules too.
    bool withRules = false;
    // At most this many servers are started per second (their first requests go out together),
    // so that replies arrive spread out instead of overflowing the socket's receive buffer.
    int startsPerSecond = 1000;
};

// A scan of many servers: a queue of addresses, at most ScanOptions::concurrency of them asked
// at once, new ones started at a paced rate. Each server is asked for details and players (and
// rules on request) once, each unanswered request is repeated once, and the server is reported
// as soon as everything asked has been answered, or with what it has when the timeout is up.
// A server whose dialect ServerKnowledge does not know yet is asked in both dialects at once
// (the legacy words and the Steam queries), so that one round trip settles it; a known one is
// asked only in its own. Every send goes through the router as query traffic, so each server's
// packet budget holds for scans as it does for the monitor; a send the budget holds back is
// tried again at the next tick (the server's clock keeps running).
//
// Driving it: the caller passes every received datagram to the router (which hands it to the
// server's watcher) and calls tick() often: every 10 ms or so while running() (msUntilNextTick()
// says how long the caller may sleep). Sends happen only in tick() and add(); results are
// reported from tick() or from inside the router's delivery of a datagram.
//
// Ownership and thread: holds references to clock, router and knowledge, which must outlive it.
// Not thread-safe: everything on one thread (the GUI thread, or ondel-cli's thread). The result
// and finished handlers may call cancel() and add(), but must not destroy the Scan.
class Scan {
public:
    using ResultHandler = std::function<void(const ScanResult& result)>;
    using FinishedHandler = std::function<void()>;

    Scan(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge,
         ScanOptions options = {});
    ~Scan();
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;

    // Called once per queued address, as soon as that server is done (in completion order,
    // not queue order).
    void setResultHandler(ResultHandler handler) { m_onResult = std::move(handler); }
    // Called once when the last queued server has been reported (not after cancel()).
    void setFinishedHandler(FinishedHandler handler) { m_onFinished = std::move(handler); }

    // Queues addresses behind those already queued; they count into total() at once. Empty
    // addresses (or port 0) are reported as timeouts without any traffic. Starts what the pace
    // allows now. When nothing is queued or in flight, a new round begins: total(), completed()
    // and ScanResult::index start again from 0.
    void add(const std::vector<ServerAddress>& addresses);
    // Starts servers as the pace allows, repeats overdue requests and reports timeouts.
    void tick();
    // Stops at once: queued servers are dropped, those in flight forgotten (late replies are
    // ignored), no more results are reported and the finished handler is not called. total()
    // and completed() keep their values until add() starts a new round.
    void cancel();

    bool running() const { return !m_queue.empty() || !m_inFlight.empty(); }
    std::size_t total() const { return m_total; }
    std::size_t completed() const { return m_completed; }
    std::size_t inFlight() const { return m_inFlight.size(); }
    // A hint for event loops: ms until tick() has anything to do (0: now).
    std::uint32_t msUntilNextTick() const;

    const ScanOptions& options() const { return m_options; }

private:
    struct Pending {
        std::size_t index = 0;
        ServerAddress address;
    };
    struct Active;

    void startDue();
    void start(const Pending& next);
    void onDone(Active* active);
    void report(const ScanResult& result);

    const Clock& m_clock;
    DatagramRouter& m_router;
    ServerKnowledge& m_knowledge;
    ScanOptions m_options;
    ResultHandler m_onResult;
    FinishedHandler m_onFinished;

    std::deque<Pending> m_queue;
    std::vector<std::unique_ptr<Active>> m_inFlight;
    // Done or cancelled, still watching the router: destroyed at the next tick(), never from
    // inside one of their own callbacks.
    std::vector<std::unique_ptr<Active>> m_spent;
    std::size_t m_total = 0;
    std::size_t m_completed = 0;
    bool m_cancelled = false;
    // Pacing: starts earned and not yet used, in thousandths of a start.
    std::uint32_t m_lastPaceTick = 0;
    std::int64_t m_paceCredit = 0;
    bool m_paceStarted = false;
};

} // namespace ondel
