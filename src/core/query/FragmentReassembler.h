#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ondel {

// Puts split replies together again. A fragment is FE FF FF FF, an int32 sequence number and
// one byte holding the fragment's number (upper four bits) and the total (lower four bits),
// followed by its piece of the whole datagram; the pieces in number order form the whole
// FF FF FF FF datagram. Fragments may come in any order and more than once.
//
// One reassembler serves one sender. Memory is bounded: at most kMaxSets incomplete sets of at
// most 15 fragments of at most kMaxFragmentBytes each; the oldest set gives way to a new one,
// and a set that is not complete kExpiryMs after its first fragment is thrown away.
// Not thread-safe.
class FragmentReassembler {
public:
    static constexpr std::size_t kFragmentHeaderSize = 9;
    static constexpr int kMaxFragments = 15;
    static constexpr std::size_t kMaxSets = 4;
    static constexpr std::size_t kMaxFragmentBytes = 2048;
    static constexpr std::uint32_t kExpiryMs = 5000;

    // True when data starts like a fragment (FE FF FF FF).
    static bool isFragment(const std::uint8_t* data, std::size_t n);

    // Takes one fragment datagram (header included). Returns the whole datagram when this
    // fragment completes its set. Refuses (returns nothing, keeps nothing) a fragment that is too
    // short or too long, has a total of 0 or over 15, a number not below its total, or a total
    // other than that of the fragments already held for its sequence.
    std::optional<std::vector<std::uint8_t>> add(const std::uint8_t* data, std::size_t n,
                                                 std::uint32_t nowTick);

    // Drops sets older than kExpiryMs.
    void expire(std::uint32_t nowTick);
    void clear() { m_sets.clear(); }
    std::size_t pendingSets() const { return m_sets.size(); }

private:
    struct Set {
        std::int32_t sequence = 0;
        std::uint8_t total = 0;
        std::uint8_t received = 0;
        std::uint32_t firstTick = 0;
        std::array<std::optional<std::vector<std::uint8_t>>, kMaxFragments> pieces;
    };
    std::vector<Set> m_sets;
};

} // namespace ondel
