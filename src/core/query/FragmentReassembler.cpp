#include "FragmentReassembler.h"

#include "common/ByteReader.h"
#include "query/QueryProtocol.h"

#include <algorithm>

namespace ondel {

bool FragmentReassembler::isFragment(const std::uint8_t* data, std::size_t n) {
    ByteReader in(data, n);
    return in.u32() == protocol::kSplit && in.ok();
}

std::optional<std::vector<std::uint8_t>>
FragmentReassembler::add(const std::uint8_t* data, std::size_t n, std::uint32_t nowTick) {
    expire(nowTick);
    if (n > kMaxFragmentBytes)
        return std::nullopt;
    ByteReader in(data, n);
    if (in.u32() != protocol::kSplit)
        return std::nullopt;
    std::int32_t sequence = in.i32();
    std::uint8_t packed = in.u8();
    if (!in.ok())
        return std::nullopt;
    int number = packed >> 4;
    int total = packed & 0x0F;
    // Four bits of total allow 15 pieces at most; a set of 0 pieces or a number past the total
    // cannot be completed and would only hold memory.
    if (total == 0 || number >= total)
        return std::nullopt;

    auto it = std::find_if(m_sets.begin(), m_sets.end(),
                           [&](const Set& s) { return s.sequence == sequence; });
    if (it == m_sets.end()) {
        if (m_sets.size() >= kMaxSets) {
            auto oldest =
                std::min_element(m_sets.begin(), m_sets.end(), [&](const Set& a, const Set& b) {
                    return nowTick - a.firstTick > nowTick - b.firstTick;
                });
            m_sets.erase(oldest);
        }
        Set set;
        set.sequence = sequence;
        set.total = static_cast<std::uint8_t>(total);
        set.firstTick = nowTick;
        m_sets.push_back(std::move(set));
        it = m_sets.end() - 1;
    } else if (it->total != total) {
        return std::nullopt;
    }

    auto& piece = it->pieces[static_cast<std::size_t>(number)];
    if (piece)
        return std::nullopt; // a copy of a piece already held
    piece.emplace(data + kFragmentHeaderSize, data + n);
    if (++it->received < it->total)
        return std::nullopt;

    std::vector<std::uint8_t> whole;
    for (int i = 0; i < it->total; ++i) {
        const auto& p = *it->pieces[static_cast<std::size_t>(i)];
        whole.insert(whole.end(), p.begin(), p.end());
    }
    m_sets.erase(it);
    return whole;
}

void FragmentReassembler::expire(std::uint32_t nowTick) {
    std::erase_if(m_sets, [&](const Set& s) { return nowTick - s.firstTick >= kExpiryMs; });
}

} // namespace ondel
