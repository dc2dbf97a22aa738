#include "SystemClock.h"

#include <chrono>

namespace ondel {

std::uint32_t SystemClock::tickMs() const {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms.count()));
}

std::int64_t SystemClock::nowMs1601() const {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    return static_cast<std::int64_t>(ms.count()) + kMs1601To1970;
}

} // namespace ondel
