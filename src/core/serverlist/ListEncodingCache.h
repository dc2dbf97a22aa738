#pragma once

#include "serverlist/ServerList.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace ondel {

// The bytes of a list file (version 6) for a list that is written again and again as it changes:
// the bytes of an entry are kept while its stamp (ServerList::entryStamps) stays the same, so
// that after a small change of a large list only the changed entries are encoded again. What it
// gives out are shared, immutable pieces that another thread may join and write.
// Thread: encode() on the thread that owns the list; Pieces may then travel.
class ListEncodingCache {
public:
    using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;

    struct Pieces {
        std::vector<std::uint8_t> header;
        std::vector<Bytes> entries;
        // The whole file, as listfile::encode() writes it.
        std::vector<std::uint8_t> join() const;
    };

    // False, keeping nothing, when a text or a count does not fit the format.
    bool encode(const ServerList& list, Pieces& out);

private:
    // The entries of the last encoding, in list order. Changes keep that order but for entries
    // taken out and entries with new stamps (stored at the front, added, edited), so one walk
    // along it finds every kept entry.
    std::vector<std::pair<std::uint64_t, Bytes>> m_kept;
};

} // namespace ondel
