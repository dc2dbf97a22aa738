#include "query/ServerKnowledge.h"

#include <algorithm>

namespace ondel {

const ServerKnowledge::Facts* ServerKnowledge::find(const ServerAddress& server) const {
    auto it = m_facts.find(addressText(server));
    return it == m_facts.end() ? nullptr : &it->second;
}

std::optional<QueryDialect> ServerKnowledge::dialect(const ServerAddress& server) const {
    const Facts* f = find(server);
    return f ? f->dialect : std::nullopt;
}

void ServerKnowledge::setDialect(const ServerAddress& server, QueryDialect dialect) {
    m_facts[addressText(server)].dialect = dialect;
}

double ServerKnowledge::slowdown(const ServerAddress& server) const {
    const Facts* f = find(server);
    return f ? f->slowdown : 1.0;
}

ServerKnowledge::Silence ServerKnowledge::noteSilence(const ServerAddress& server,
                                                      std::uint32_t nowMs,
                                                      std::size_t sentLastMinute,
                                                      std::uint32_t answeredForMs) {
    Facts& f = m_facts[addressText(server)];
    const std::optional<std::uint32_t> previous = f.silenceAt;
    f.silenceAt = nowMs;
    const bool repeat = previous && nowMs - *previous < kRepeatWithinMs;
    const bool knownLimit = f.slowdown > 1.0 || f.blockedAt > 0.0;
    if (sentLastMinute <= kStockLimitPackets && !repeat && !knownLimit)
        return Silence::Outage;
    // A server that answers for a part of each period and is quiet for the rest takes about
    // that part of what it was sent: slow down to it, with the safety margin.
    double factor = 2.0;
    if (repeat && answeredForMs > 0)
        factor = std::max(factor, kSafetyMargin * (nowMs - *previous) / answeredForMs);
    noteBlock(server, nowMs, factor);
    return Silence::Limit;
}

void ServerKnowledge::noteBlock(const ServerAddress& server, std::uint32_t nowMs, double factor) {
    Facts& f = m_facts[addressText(server)];
    f.blockedAt = f.slowdown;
    f.slowdown = std::min(f.slowdown * std::max(factor, 2.0), kMaxSlowdown);
    f.changedAt = nowMs;
}

void ServerKnowledge::noteAnswer(const ServerAddress& server, std::uint32_t nowMs) {
    auto it = m_facts.find(addressText(server));
    if (it == m_facts.end())
        return;
    Facts& f = it->second;
    if (f.slowdown <= 1.0 || nowMs - f.changedAt < kRaiseAfterMs)
        return;
    f.changedAt = nowMs;
    double raised = std::max(1.0, f.slowdown * kRaiseStep);
    // Near the rate that was blocked last the rise stops for one more period; only then is that
    // block forgotten, since the server's limit may have changed.
    if (f.blockedAt > 0.0) {
        double floor = f.blockedAt * kSafetyMargin;
        if (f.slowdown <= floor) {
            f.blockedAt = 0.0;
            return;
        }
        raised = std::max(raised, floor);
    }
    f.slowdown = std::min(f.slowdown, raised);
}

} // namespace ondel
