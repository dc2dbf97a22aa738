#include "history/HistoryFold.h"

#include <algorithm>
#include <map>

namespace ondel {

std::int64_t HistoryTotals::bucketStart(std::int64_t timeMs) {
    std::int64_t start = timeMs - timeMs % kBucketMs;
    return start > timeMs ? start - kBucketMs : start;
}

void HistoryTotals::add(const HistorySample& sample) {
    ++samples;
    if (!sample.up)
        return;
    minPlayers = ups == 0 ? sample.players : std::min(minPlayers, sample.players);
    maxPlayers = ups == 0 ? sample.players : std::max(maxPlayers, sample.players);
    ++ups;
    sumPlayers += sample.players;
    maxSlots = std::max(maxSlots, sample.maxPlayers);
    if (sample.pingMs >= 0) {
        ++pings;
        sumPingMs += sample.pingMs;
    }
    lastMap = sample.map;
}

void HistoryTotals::merge(const HistoryTotals& later) {
    if (later.ups > 0) {
        minPlayers = ups == 0 ? later.minPlayers : std::min(minPlayers, later.minPlayers);
        maxPlayers = ups == 0 ? later.maxPlayers : std::max(maxPlayers, later.maxPlayers);
        lastMap = later.lastMap;
    }
    samples += later.samples;
    ups += later.ups;
    sumPlayers += later.sumPlayers;
    maxSlots = std::max(maxSlots, later.maxSlots);
    pings += later.pings;
    sumPingMs += later.sumPingMs;
}

HistoryBucket HistoryTotals::toBucket(const std::string& server, std::int64_t startMs) const {
    HistoryBucket b;
    b.server = server;
    b.startMs = startMs;
    b.samples = samples;
    b.upShare = samples > 0 ? static_cast<double>(ups) / samples : 0.0;
    b.minPlayers = minPlayers;
    b.meanPlayers = ups > 0 ? static_cast<double>(sumPlayers) / ups : 0.0;
    b.maxPlayers = maxPlayers;
    b.maxSlots = maxSlots;
    b.meanPingMs = pings > 0 ? static_cast<double>(sumPingMs) / pings : -1.0;
    b.lastMap = lastMap;
    return b;
}

std::vector<HistoryBucket> foldSamples(const std::vector<HistorySample>& samples) {
    std::map<std::int64_t, HistoryTotals> rows;
    for (const HistorySample& s : samples)
        rows[HistoryTotals::bucketStart(s.timeMs)].add(s);
    std::vector<HistoryBucket> out;
    out.reserve(rows.size());
    const std::string server = samples.empty() ? std::string() : samples.front().server;
    for (const auto& [start, totals] : rows)
        out.push_back(totals.toBucket(server, start));
    return out;
}

} // namespace ondel
