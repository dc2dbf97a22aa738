#include "browser/Scan.h"

#include "common/Clock.h"
#include "query/DatagramRouter.h"
#include "query/ServerKnowledge.h"
#include "query/ServerQuery.h"

#include <algorithm>

namespace ondel {

namespace {
// While servers are in flight their retries and timeouts need a tick this often at least.
constexpr std::uint32_t kBusyTickMs = 10;
// The pace may save up starts for this long (a caller that ticks late starts a few at once).
constexpr std::int64_t kPaceBurstMs = 20;
} // namespace

struct Scan::Active {
    std::size_t index = 0;
    std::unique_ptr<ServerQuery> query;
    bool over = false; // reported or cancelled: callbacks from the query are ignored
};

Scan::Scan(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge,
           ScanOptions options)
    : m_clock(clock), m_router(router), m_knowledge(knowledge), m_options(options) {
    m_options.concurrency = std::max(1, m_options.concurrency);
    m_options.startsPerSecond = std::max(1, m_options.startsPerSecond);
}

Scan::~Scan() = default;

void Scan::add(const std::vector<ServerAddress>& addresses) {
    if (!running()) {
        m_total = 0;
        m_completed = 0;
    }
    m_cancelled = false;
    for (const auto& address : addresses)
        m_queue.push_back({m_total++, address});
    startDue();
}

void Scan::tick() {
    m_spent.clear();
    // Ticking may finish servers (timeouts), which moves them out of m_inFlight: walk a copy.
    std::vector<Active*> active;
    active.reserve(m_inFlight.size());
    for (auto& a : m_inFlight)
        active.push_back(a.get());
    for (Active* a : active) {
        if (!a->over)
            a->query->tick();
    }
    startDue();
}

void Scan::cancel() {
    m_cancelled = true;
    m_queue.clear();
    for (auto& a : m_inFlight) {
        a->over = true;
        m_spent.push_back(std::move(a));
    }
    m_inFlight.clear();
}

std::uint32_t Scan::msUntilNextTick() const {
    if (!running())
        return 1000;
    std::uint32_t wait = m_inFlight.empty() ? 1000 : kBusyTickMs;
    if (!m_queue.empty() && m_inFlight.size() < static_cast<std::size_t>(m_options.concurrency)) {
        std::int64_t missing = std::max<std::int64_t>(0, 1000 - m_paceCredit);
        auto paceWait = static_cast<std::uint32_t>((missing + m_options.startsPerSecond - 1) /
                                                   m_options.startsPerSecond);
        wait = std::min(wait, paceWait);
    }
    return wait;
}

void Scan::startDue() {
    std::uint32_t now = m_clock.tickMs();
    const std::int64_t rate = m_options.startsPerSecond;
    const std::int64_t cap = std::max<std::int64_t>(1000, rate * kPaceBurstMs);
    if (!m_paceStarted) {
        m_paceStarted = true;
        m_paceCredit = cap;
    } else {
        // Each ms earns rate thousandths of a start.
        m_paceCredit =
            std::min(cap, m_paceCredit + static_cast<std::int64_t>(now - m_lastPaceTick) * rate);
    }
    m_lastPaceTick = now;

    while (!m_queue.empty()) {
        const Pending& next = m_queue.front();
        if (next.address.host.empty() || next.address.port <= 0 || next.address.port > 65535) {
            // Nothing to ask: reported at once, without traffic and without using the pace.
            Pending bad = next;
            m_queue.pop_front();
            ScanResult result;
            result.index = bad.index;
            result.address = bad.address;
            result.entry.address = bad.address;
            report(result);
            continue;
        }
        if (m_inFlight.size() >= static_cast<std::size_t>(m_options.concurrency) ||
            m_paceCredit < 1000)
            break;
        m_paceCredit -= 1000;
        Pending starting = next;
        m_queue.pop_front();
        start(starting);
    }
}

void Scan::start(const Pending& next) {
    auto owned = std::make_unique<Active>();
    Active* active = owned.get();
    active->index = next.index;
    ServerEntry entry;
    entry.address = next.address;
    active->query = std::make_unique<ServerQuery>(m_clock, m_router, m_knowledge, entry);
    active->query->setOnceRetry(m_options.retryAfterMs, 1);
    m_inFlight.push_back(std::move(owned));
    // May finish at once (a zero timeout): onDone then reports it from inside askOnce.
    active->query->askOnce(m_options.withRules, m_options.timeoutMs,
                           [this, active](ServerQuery::Outcome) { onDone(active); });
}

void Scan::onDone(Active* active) {
    if (active->over)
        return;
    active->over = true;
    const ServerQuery& q = *active->query;
    const ServerQuery::ReplyCounts& counts = q.replyCounts();

    ScanResult result;
    result.index = active->index;
    result.entry = q.entry();
    result.address = result.entry.address;
    result.gotPlayers = counts.players > 0;
    result.gotRules = counts.rules > 0;
    // Up as soon as the details were answered, even when players or rules then timed out.
    if (counts.info > 0) {
        result.status = ScanResult::Status::Up;
        result.pingMs = result.entry.lastPing;
    }
    if (q.dialectSettled())
        result.dialect = q.dialect();
    else
        result.dialect = m_knowledge.dialect(result.address);
    if (q.steamExtras())
        result.bots = q.steamExtras()->bots;

    // Out of the flight at once (the pace may start the next one), destroyed at the next tick.
    auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(),
                           [active](const auto& a) { return a.get() == active; });
    if (it != m_inFlight.end()) {
        m_spent.push_back(std::move(*it));
        m_inFlight.erase(it);
    }
    report(result);
}

void Scan::report(const ScanResult& result) {
    ++m_completed;
    if (m_onResult)
        m_onResult(result);
    if (!m_cancelled && !running() && m_completed == m_total && m_onFinished)
        m_onFinished();
}

} // namespace ondel
