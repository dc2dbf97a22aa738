#pragma once

#include "history/HistoryStore.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ondel {

// HistoryStore on one SQLite database file (history.sqlite in the data folder).
//
// Writing: record() queues and returns; one writer thread, started by the first record() or
// applyRetention(), writes everything queued in one transaction and owns the only writing
// connection. The file is in WAL mode with synchronous=NORMAL: a killed process (kill -9) loses
// nothing that was committed and never leaves a damaged file; a power cut may lose the last
// transactions, never the file. Readers open a connection of their own per call, read from the
// last commit and never wait for the writer. A store that only reads never creates the file.
//
// Layout (PRAGMA user_version 1): raw samples one row each, keyed by server and time, the map as
// a number into a table of map names; five-minute rows packed per server and hour (sums and
// counts, so that rows combine exactly); map events one row each. Server addresses and map
// names are kept as bytes (BLOB), cut to kMaxServerBytes / kMaxMapBytes.
//
// Every member may be called from any thread. The destructor writes what was queued, then ends
// the writer.
class SqliteHistoryStore : public HistoryStore {
public:
    static constexpr const char* kFileName = "history.sqlite";
    static constexpr int kSchemaVersion = 1;
    static constexpr std::size_t kMaxMapBytes = 64;
    static constexpr std::size_t kMaxServerBytes = 300;
    // How often the writer folds and drops by itself, when autoRetention is on.
    static constexpr std::int64_t kRetentionEveryMs = 10 * 60 * 1000;

    struct Options {
        HistoryRetention retention;
        // Fold and drop by the system clock after writing, at most every kRetentionEveryMs.
        bool autoRetention = true;
    };

    explicit SqliteHistoryStore(std::string path, Options options);
    explicit SqliteHistoryStore(std::string path)
        : SqliteHistoryStore(std::move(path), Options{}) {}
    ~SqliteHistoryStore() override;
    SqliteHistoryStore(const SqliteHistoryStore&) = delete;
    SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

    const std::string& path() const { return m_path; }

    void record(std::vector<HistorySample> samples) override;
    void flush() override;
    std::vector<HistorySample> samples(const std::string& server, std::int64_t sinceMs,
                                       std::int64_t untilMs) override;
    std::vector<HistoryBucket> buckets(const std::string& server, std::int64_t sinceMs,
                                       std::int64_t untilMs) override;
    std::vector<MapEvent> mapEvents(const std::string& server, std::int64_t sinceMs,
                                    std::int64_t untilMs) override;
    void applyRetention(std::int64_t nowMs, const HistoryRetention& retention) override;
    std::string lastError() const override;

private:
    class Writer;
    class Reader;
    struct RetentionJob {
        std::int64_t nowMs;
        HistoryRetention retention;
    };

    void startWriter(); // with m_mutex held
    void writerLoop();
    void setError(const std::string& error) const;

    const std::string m_path;
    const Options m_options;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;     // the writer: work queued or stop
    std::condition_variable m_progress; // flush() and applyRetention(): work done
    std::vector<HistorySample> m_pending;
    std::vector<RetentionJob> m_retentions;
    std::uint64_t m_queued = 0; // tickets handed out (one per record or retention call)
    std::uint64_t m_done = 0;   // tickets the writer has finished
    bool m_stop = false;
    std::thread m_thread;
    mutable std::string m_lastError;
};

} // namespace ondel
