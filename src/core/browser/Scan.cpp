#include "browser/Scan.h"

#include "common/Clock.h"

namespace ondel {

// Placeholder until the query layer is split: every queued server is reported as a timeout at
// the next tick, without traffic. The contract of the header already holds.
struct Scan::Active {};

Scan::Scan(const Clock& clock, DatagramRouter& router, ServerKnowledge& knowledge,
           ScanOptions options)
    : m_clock(clock), m_router(router), m_knowledge(knowledge), m_options(options) {}

Scan::~Scan() = default;

void Scan::add(const std::vector<ServerAddress>& addresses) {
    for (const auto& address : addresses) {
        m_queue.push_back({m_nextIndex++, address});
        ++m_total;
    }
}

void Scan::tick() {
    bool had = running();
    while (!m_queue.empty()) {
        Pending next = m_queue.front();
        m_queue.pop_front();
        ScanResult result;
        result.index = next.index;
        result.address = next.address;
        result.entry.address = next.address;
        ++m_completed;
        if (m_onResult)
            m_onResult(result);
    }
    if (had && !running() && m_onFinished)
        m_onFinished();
}

void Scan::cancel() {
    m_queue.clear();
}

std::uint32_t Scan::msUntilNextTick() const {
    return running() ? 0 : 1000;
}

void Scan::startDue() {}
void Scan::finish(Active&, bool) {}
void Scan::reapFinished() {}

} // namespace ondel
