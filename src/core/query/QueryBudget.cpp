#include "query/QueryBudget.h"

#include "common/Clock.h"

#include <cmath>

namespace ondel {

namespace {
// Addresses with nothing sent within the window are dropped from the table now and then, so a
// scan of thousands of servers does not leave the table growing for the rest of the run.
constexpr std::size_t kPruneEvery = 4096;
} // namespace

QueryBudget::QueryBudget(const Clock& clock, double packetsPerSecond, std::uint32_t windowMs)
    : m_clock(clock), m_windowMs(windowMs == 0 ? 1 : windowMs) {
    double packets = packetsPerSecond > 0 ? packetsPerSecond * m_windowMs / 1000.0 : 1.0;
    m_capacity = packets < 1.0 ? 1 : static_cast<std::size_t>(std::floor(packets));
    std::size_t reserve = m_capacity / 10;
    if (reserve == 0 && m_capacity > 1)
        reserve = 1;
    m_queryCapacity = m_capacity - reserve;
}

std::uint64_t QueryBudget::now() {
    std::uint32_t tick = m_clock.tickMs();
    if (!m_started) {
        m_started = true;
        m_lastTick = tick;
        // Start the line one window in, so that "now - window" never goes below zero.
        m_elapsed = m_windowMs;
    }
    m_elapsed += static_cast<std::uint32_t>(tick - m_lastTick);
    m_lastTick = tick;
    return m_elapsed;
}

std::deque<std::uint64_t>* QueryBudget::recent(const ServerAddress& to) {
    std::uint64_t t = now();
    auto it = m_sent.find(addressText(to));
    if (it == m_sent.end())
        return nullptr;
    auto& times = it->second;
    // A packet sent exactly one window ago has left the window.
    while (!times.empty() && t - times.front() >= m_windowMs)
        times.pop_front();
    return &times;
}

std::size_t QueryBudget::used(const ServerAddress& to) {
    auto* times = recent(to);
    return times ? times->size() : 0;
}

bool QueryBudget::allows(const ServerAddress& to, Traffic traffic) {
    std::size_t limit = traffic == Traffic::Rcon ? m_capacity : m_queryCapacity;
    return used(to) < limit;
}

bool QueryBudget::spend(const ServerAddress& to, Traffic traffic) {
    if (!allows(to, traffic))
        return false;
    m_sent[addressText(to)].push_back(now());
    if (++m_spendsSincePrune >= kPruneEvery) {
        m_spendsSincePrune = 0;
        std::uint64_t t = now();
        for (auto it = m_sent.begin(); it != m_sent.end();) {
            if (it->second.empty() || t - it->second.back() >= m_windowMs)
                it = m_sent.erase(it);
            else
                ++it;
        }
    }
    return true;
}

} // namespace ondel
