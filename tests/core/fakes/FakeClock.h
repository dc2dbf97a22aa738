#pragma once

#include "common/Clock.h"

#include <cstdint>

namespace ondel::test {

// A clock that moves only when the test says so. advance() moves both the tick counter (which
// wraps at 2^32 like the real one) and the wall time.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::uint32_t tick = 1000, std::int64_t wall = 13'000'000'000'000LL)
        : m_tick(tick), m_wall(wall) {}

    std::uint32_t tickMs() const override { return m_tick; }
    std::int64_t nowMs1601() const override { return m_wall; }

    void advance(std::uint32_t ms) {
        m_tick += ms;
        m_wall += ms;
    }
    void setTick(std::uint32_t tick) { m_tick = tick; }
    void setWall(std::int64_t wall) { m_wall = wall; }

private:
    std::uint32_t m_tick;
    std::int64_t m_wall;
};

} // namespace ondel::test
