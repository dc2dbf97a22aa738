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

void ServerKnowledge::noteBlock(const ServerAddress& server, std::uint32_t nowMs) {
    Facts& f = m_facts[addressText(server)];
    f.blockedAt = f.slowdown;
    f.slowdown = std::min(f.slowdown * 2.0, kMaxSlowdown);
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
