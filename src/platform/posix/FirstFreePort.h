#pragma once

#include <cstdint>

namespace ondel {

// Tries open(port) on first, first + 1, ... (count ports, none past 65535) until one succeeds.
template <typename OpenPort> bool openFirstFreePort(std::uint16_t first, int count, OpenPort open) {
    for (int i = 0; i < count; ++i) {
        int port = first + i;
        if (port > 65535)
            break;
        if (open(static_cast<std::uint16_t>(port)))
            return true;
    }
    return false;
}

} // namespace ondel
