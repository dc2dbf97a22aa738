#pragma once

#include "common/Clock.h"

namespace ondel {

// The real clocks: the tick is the monotonic clock in milliseconds taken modulo 2^32 (it wraps
// like the system tick counter); wall time is the system clock in milliseconds since
// 1601-01-01 00:00 UTC. Stateless; callable from any thread.
class SystemClock : public Clock {
public:
    std::uint32_t tickMs() const override;
    std::int64_t nowMs1601() const override;
};

} // namespace ondel
