#pragma once

#include "history/HistoryStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ondel {

// The running totals of one five-minute row. Kept as sums and counts rather than means so that
// two partial rows of the same five minutes (a row folded earlier and samples that arrived
// late) combine exactly.
struct HistoryTotals {
    static constexpr std::int64_t kBucketMs = 300'000;

    int samples = 0;
    int ups = 0;
    int minPlayers = 0;
    std::int64_t sumPlayers = 0;
    int maxPlayers = 0;
    int maxSlots = 0;
    int pings = 0;
    std::int64_t sumPingMs = 0;
    std::string lastMap;

    // The start of the five minutes that hold timeMs (floored, also before 1970).
    static std::int64_t bucketStart(std::int64_t timeMs);

    void add(const HistorySample& sample);
    // Adds the totals of a later part of the same five minutes (its map wins when it has one).
    void merge(const HistoryTotals& later);
    HistoryBucket toBucket(const std::string& server, std::int64_t startMs) const;
};

// Raw samples (of one server, oldest first) folded into five-minute rows, oldest first.
std::vector<HistoryBucket> foldSamples(const std::vector<HistorySample>& samples);

} // namespace ondel
