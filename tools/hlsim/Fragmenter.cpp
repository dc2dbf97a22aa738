#include "Fragmenter.h"

#include "common/ByteWriter.h"

#include <algorithm>

namespace ondel::hlsim {

Fragmenter::Fragmenter(std::size_t splitSize, std::int32_t firstSequence)
    : m_splitSize(std::max(splitSize, kHeaderSize + 1)), m_sequence(firstSequence) {}

std::vector<Datagram> Fragmenter::split(const Datagram& whole) {
    if (whole.size() <= m_splitSize)
        return {whole};
    const std::size_t chunk = m_splitSize - kHeaderSize;
    const std::size_t total = (whole.size() + chunk - 1) / chunk;
    if (total > kMaxFragments)
        return {};
    // Sequence numbers stay positive: wrap to 1 instead of overflowing.
    m_sequence = m_sequence >= 0x7FFFFFFF ? 1 : m_sequence + 1;
    std::vector<Datagram> fragments;
    fragments.reserve(total);
    for (std::size_t number = 0; number < total; ++number) {
        ByteWriter w;
        w.u32(0xFFFFFFFE);
        w.i32(m_sequence);
        w.u8(static_cast<std::uint8_t>((number << 4) | total));
        std::size_t offset = number * chunk;
        w.bytes(whole.data() + offset, std::min(chunk, whole.size() - offset));
        fragments.push_back(w.take());
    }
    return fragments;
}

} // namespace ondel::hlsim
