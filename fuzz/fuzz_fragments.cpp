// Fragment reassembly. The first byte picks the mode:
//  - even: a sequence of arbitrary datagrams (1 byte of clock advance, 16-bit length, bytes);
//    no crash, memory stays bounded, and a completed set is the pieces it was made of;
//  - odd: the rest of the input is one whole datagram split into a chosen number of fragments,
//    delivered in a chosen order with copies and strangers mixed in; it must come back whole,
//    byte for byte, exactly once.
#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "query/FragmentReassembler.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using ondel::FragmentReassembler;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fragment(std::int32_t sequence, int number, int total, const std::uint8_t* piece,
               std::size_t n) {
    Bytes b = {0xFE, 0xFF, 0xFF, 0xFF};
    auto seq = static_cast<std::uint32_t>(sequence);
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(seq >> (8 * i)));
    b.push_back(static_cast<std::uint8_t>(number << 4 | total));
    b.insert(b.end(), piece, piece + n);
    return b;
}

void arbitrary(FuzzInput& in) {
    FragmentReassembler r;
    std::uint32_t tick = 0xFFFFF000u; // close to the wrap of the tick counter
    while (!in.empty()) {
        tick += in.byte() * 40u;
        Bytes d = in.sizedBlock();
        auto whole = r.add(d.data(), d.size(), tick);
        FUZZ_CHECK(r.pendingSets() <= FragmentReassembler::kMaxSets);
        if (whole) {
            FUZZ_CHECK(d.size() >= FragmentReassembler::kFragmentHeaderSize);
            int total = d[8] & 0x0F;
            FUZZ_CHECK(whole->size() <= static_cast<std::size_t>(total) *
                                            (FragmentReassembler::kMaxFragmentBytes -
                                             FragmentReassembler::kFragmentHeaderSize));
            // The fragment that completed the set supplied its own piece.
            FUZZ_CHECK(whole->size() >= d.size() - FragmentReassembler::kFragmentHeaderSize);
        }
    }
}

void roundTrip(FuzzInput& in) {
    int total = in.byte() % 15 + 1;
    std::int32_t sequence = static_cast<std::int32_t>(in.u16()) - 7;
    std::uint8_t orderSeed = in.byte();
    std::uint8_t extras = in.byte();
    Bytes whole = in.rest();
    std::size_t maxPiece =
        FragmentReassembler::kMaxFragmentBytes - FragmentReassembler::kFragmentHeaderSize;
    if (whole.size() > maxPiece * static_cast<std::size_t>(total))
        whole.resize(maxPiece * static_cast<std::size_t>(total));

    // Pieces of nearly equal size; the last may be empty.
    std::vector<Bytes> frags;
    std::size_t per =
        (whole.size() + static_cast<std::size_t>(total) - 1) / static_cast<std::size_t>(total);
    for (int i = 0; i < total; ++i) {
        std::size_t begin = std::min(whole.size(), per * static_cast<std::size_t>(i));
        std::size_t end = std::min(whole.size(), begin + per);
        frags.push_back(fragment(sequence, i, total, whole.data() + begin, end - begin));
    }
    // Delivery order: a rotation and a reversal chosen by the input, then copies of some
    // fragments and fragments of other sequences that never complete.
    std::vector<Bytes> delivery = frags;
    std::rotate(delivery.begin(), delivery.begin() + orderSeed % delivery.size(), delivery.end());
    if (orderSeed & 0x80)
        std::reverse(delivery.begin(), delivery.end());
    std::vector<Bytes> withExtras;
    for (std::size_t i = 0; i < delivery.size(); ++i) {
        withExtras.push_back(delivery[i]);
        if (extras & (1u << (i % 8))) {
            // A copy of a piece already held is refused; a lone fragment (total 1) is a whole
            // datagram each time it arrives, so it gets no copy.
            if (total > 1)
                withExtras.push_back(delivery[i]);
            std::uint8_t stray = 0;
            withExtras.push_back(
                fragment(sequence + 1 + static_cast<std::int32_t>(i % 3), 0, 2, &stray, 1));
        }
    }

    FragmentReassembler r;
    int completed = 0;
    std::uint32_t tick = 100;
    for (const Bytes& d : withExtras) {
        auto got = r.add(d.data(), d.size(), tick++);
        if (got) {
            ++completed;
            FUZZ_CHECK(*got == whole);
        }
    }
    // Strangers (at most 3 other sequences) may push it out only when more than kMaxSets - 1
    // other sets are pending at once; three strangers never do.
    FUZZ_CHECK(completed == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    if (in.byte() & 1)
        roundTrip(in);
    else
        arbitrary(in);
    return 0;
}
