#include "serverlist/ListEncodingCache.h"

#include "serverlist/ListFileFormat.h"

#include <algorithm>

namespace ondel {

std::vector<std::uint8_t> ListEncodingCache::Pieces::join() const {
    std::size_t total = header.size();
    for (const Bytes& entry : entries)
        total += entry->size();
    std::vector<std::uint8_t> all;
    all.reserve(total);
    all.insert(all.end(), header.begin(), header.end());
    for (const Bytes& entry : entries)
        all.insert(all.end(), entry->begin(), entry->end());
    return all;
}

bool ListEncodingCache::encode(const ServerList& list, Pieces& out) {
    // How far ahead of the walk a kept entry is looked for; beyond, it is encoded again (always
    // right, only slower), so that lists reordered in other ways cost no more than a fresh start.
    constexpr std::size_t kLookAhead = 64;
    const std::vector<std::uint64_t>& stamps = list.entryStamps();
    const std::vector<ServerEntry>& entries = list.entries();
    Pieces pieces;
    if (!listfile::encodeHeader(list.name(), entries.size(), pieces.header)) {
        m_kept.clear();
        return false;
    }
    std::vector<std::pair<std::uint64_t, Bytes>> kept;
    kept.reserve(entries.size());
    pieces.entries.reserve(entries.size());
    std::size_t walk = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Bytes bytes;
        const std::size_t end = std::min(m_kept.size(), walk + kLookAhead);
        for (std::size_t k = walk; k < end; ++k) {
            if (m_kept[k].first == stamps[i]) {
                bytes = m_kept[k].second;
                walk = k + 1; // what was skipped is gone or changed
                break;
            }
        }
        if (!bytes) {
            auto fresh = std::make_shared<std::vector<std::uint8_t>>();
            if (!listfile::encodeEntry(entries[i], *fresh)) {
                m_kept.clear();
                return false;
            }
            bytes = std::move(fresh);
        }
        kept.emplace_back(stamps[i], bytes);
        pieces.entries.push_back(std::move(bytes));
    }
    m_kept = std::move(kept);
    out = std::move(pieces);
    return true;
}

} // namespace ondel
