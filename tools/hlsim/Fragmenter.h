#pragma once

#include "Datagram.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ondel::hlsim {

// Splits replies longer than the split size the way Half-Life servers do: each fragment is
// FE FF FF FF, an int32 sequence number shared by the fragments of one reply (increasing from
// reply to reply), one byte holding the fragment's number (from 0) in the upper four bits and
// the total in the lower four, then the next piece of the whole FF FF FF FF datagram. No
// fragment is longer than the split size. Single-threaded.
class Fragmenter {
public:
    static constexpr std::size_t kHeaderSize = 9;
    static constexpr std::size_t kMaxFragments = 15; // the total must fit in four bits

    Fragmenter(std::size_t splitSize, std::int32_t firstSequence);

    // The datagrams to send for one reply: the reply itself when it fits, else its fragments.
    // Empty when the reply would need more than 15 fragments (no client could rebuild it).
    std::vector<Datagram> split(const Datagram& whole);

    std::size_t splitSize() const { return m_splitSize; }

private:
    std::size_t m_splitSize;
    std::int32_t m_sequence;
};

} // namespace ondel::hlsim
