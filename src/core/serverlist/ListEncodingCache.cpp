#include "serverlist/ListEncodingCache.h"

#include "serverlist/ListFileFormat.h"

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
    const std::vector<std::uint64_t>& stamps = list.entryStamps();
    const std::vector<ServerEntry>& entries = list.entries();
    Pieces pieces;
    if (!listfile::encodeHeader(list.name(), entries.size(), pieces.header)) {
        m_kept.clear();
        return false;
    }
    // Only the entries of this state are kept: removed and changed ones are let go.
    std::unordered_map<std::uint64_t, Bytes> kept;
    kept.reserve(entries.size());
    pieces.entries.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Bytes bytes;
        if (auto it = m_kept.find(stamps[i]); it != m_kept.end()) {
            bytes = it->second;
        } else {
            auto fresh = std::make_shared<std::vector<std::uint8_t>>();
            if (!listfile::encodeEntry(entries[i], *fresh)) {
                m_kept.clear();
                return false;
            }
            bytes = std::move(fresh);
        }
        kept.emplace(stamps[i], bytes);
        pieces.entries.push_back(std::move(bytes));
    }
    m_kept = std::move(kept);
    out = std::move(pieces);
    return true;
}

} // namespace ondel
