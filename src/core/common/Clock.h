#pragma once

#include <cstdint>

namespace ondel {

// Time source of the core. Tests drive a fake; the program uses the system clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Millisecond tick counter that wraps at 2^32; only differences (mod 2^32) mean anything.
    virtual std::uint32_t tickMs() const = 0;
    // Wall-clock time: milliseconds since 1601-01-01 00:00 UTC.
    virtual std::int64_t nowMs1601() const = 0;
};

// Milliseconds between 1601-01-01 and 1970-01-01 (UTC).
inline constexpr std::int64_t kMs1601To1970 = 11644473600000LL;

} // namespace ondel
