#pragma once

#include <cstdint>
#include <vector>

namespace ondel::hlsim {

// One UDP payload as built by ByteWriter.
using Datagram = std::vector<std::uint8_t>;

} // namespace ondel::hlsim
