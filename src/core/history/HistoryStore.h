#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ondel {

// One answer (or one miss) of one server, as the monitor, the browser and `ondel-cli watch`
// record it. Times are milliseconds since 1970-01-01 00:00 UTC.
struct HistorySample {
    std::string server; // "HOST:PORT" as the list holds it (dotted quads normalised)
    std::int64_t timeMs = 0;
    bool up = false;
    // The fields below mean something only when up; a miss stores them as null.
    int players = 0;
    int bots = -1; // -1 where the server does not say (legacy dialect)
    int maxPlayers = 0;
    std::string map;
    int pingMs = -1;
};

// Samples older than the raw limit are folded into one row per server and five minutes.
struct HistoryBucket {
    std::string server;
    std::int64_t startMs = 0; // start of the five minutes (a multiple of 300,000 ms)
    int samples = 0;          // samples folded into the row, misses included
    double upShare = 0.0;     // share of those samples that were answers (0..1)
    int minPlayers = 0;       // over the answers only; all three 0 when none answered
    double meanPlayers = 0.0;
    int maxPlayers = 0;
    int maxSlots = 0;       // the largest max players seen in the five minutes
    double meanPingMs = -1; // over the answers with a ping; -1 when there is none
    std::string lastMap;    // the map of the last answer in the five minutes
};

// A map change: the first answer whose map differs from the answer before it.
struct MapEvent {
    std::string server;
    std::int64_t timeMs = 0;
    std::string fromMap; // empty for the first map ever seen of a server
    std::string toMap;
};

// How long history is kept. Settings `HistoryRawHours` and `HistoryDays`.
struct HistoryRetention {
    int rawHours = 48;
    int foldedDays = 90;
};

// Port: the history of the servers watched. The realisation keeps it in SQLite
// (history.sqlite in the data folder).
//
// Thread: record() may be called from any thread and returns at once (a writer thread does the
// writing, in batches). The readers may be called from any thread; each opens its own view of the
// data, so a reader never waits for the writer's batch. flush() waits until everything recorded
// before it is written.
class HistoryStore {
public:
    virtual ~HistoryStore() = default;

    // Queues samples for writing (one round of a watch, one refresh of the monitor).
    virtual void record(std::vector<HistorySample> samples) = 0;
    // Blocks until every sample recorded before the call is stored (or failed to be).
    virtual void flush() = 0;

    // Raw samples of one server with sinceMs <= time < untilMs, oldest first.
    virtual std::vector<HistorySample> samples(const std::string& server, std::int64_t sinceMs,
                                               std::int64_t untilMs) = 0;
    // Five-minute rows of one server in the same range, oldest first. Rows folded from raw
    // samples are returned together with rows made on the fly from raw samples still kept, so a
    // graph of any span reads one call.
    virtual std::vector<HistoryBucket> buckets(const std::string& server, std::int64_t sinceMs,
                                               std::int64_t untilMs) = 0;
    virtual std::vector<MapEvent> mapEvents(const std::string& server, std::int64_t sinceMs,
                                            std::int64_t untilMs) = 0;

    // Folds raw samples older than the retention into buckets and drops what is past it.
    // The realisation runs it by itself from time to time; tests call it with their own now.
    virtual void applyRetention(std::int64_t nowMs, const HistoryRetention& retention) = 0;

    // The last error the store met (cannot open, disk full), empty when all went well.
    virtual std::string lastError() const = 0;
};

} // namespace ondel
