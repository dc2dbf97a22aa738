#pragma once

#include "serverlist/ServerAddress.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

namespace ondel {

class Clock;

// How many packets this process may send to one server address over a sliding window.
//
// Game servers answer only so many connectionless packets per client address (the stock rule:
// 3 a second averaged over 60 s; stricter builds exist), and a packet over their limit is lost
// together with everything else sent from this address for the rest of their window. The budget
// keeps every sender of the process (monitor queries, the remote console, a scan) under
// kDefaultRate packets a second over ANY kDefaultWindowMs: a packet is sent only when fewer than
// capacity() packets went to that address within the last window.
//
// RCON goes first: queries may use the capacity only up to queryCapacity() (a tenth is kept for
// the console), so queries never take the room an RCON command needs. RCON itself is held back
// only when the whole capacity is used.
//
// Each address is "host:port" as typed (each port its own server). Holds a reference to the
// clock, which must outlive it. Not thread-safe: GUI thread (or the one thread of ondel-cli).
class QueryBudget {
public:
    enum class Traffic { Rcon, Query };

    static constexpr double kDefaultRate = 2.5;
    static constexpr std::uint32_t kDefaultWindowMs = 60000;

    explicit QueryBudget(const Clock& clock, double packetsPerSecond = kDefaultRate,
                         std::uint32_t windowMs = kDefaultWindowMs);

    // When traffic of this kind may go to the address now, records one packet and returns true;
    // otherwise records nothing and returns false (the caller tries again later or gives up).
    bool spend(const ServerAddress& to, Traffic traffic);
    // Whether spend() would succeed now, without recording anything.
    bool allows(const ServerAddress& to, Traffic traffic);
    // Packets recorded for the address within the last window.
    std::size_t used(const ServerAddress& to);

    std::size_t capacity() const { return m_capacity; }
    std::size_t queryCapacity() const { return m_queryCapacity; }
    std::uint32_t windowMs() const { return m_windowMs; }

private:
    std::uint64_t now();
    std::deque<std::uint64_t>* recent(const ServerAddress& to);

    const Clock& m_clock;
    std::uint32_t m_windowMs;
    std::size_t m_capacity;
    std::size_t m_queryCapacity;
    // A 64-bit time line built from the wrapping tick, so that old entries never look new.
    std::uint32_t m_lastTick = 0;
    std::uint64_t m_elapsed = 0;
    bool m_started = false;
    std::map<std::string, std::deque<std::uint64_t>> m_sent;
    std::size_t m_spendsSincePrune = 0;
};

} // namespace ondel
