#pragma once

#include "serverlist/ListEncodingCache.h"
#include "serverlist/ServerListSet.h"

#include <QObject>
#include <QTimer>

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ondel {

// Writes the lists of a set as they change: every change (an entry stored, edited, removed; a
// list made, renamed) marks its list, and within kDelayMs of the first mark the marked lists are
// encoded and handed to a writer thread, which replaces each file atomically (temporary file and
// rename). Changes in between are written together. Encoding reuses the bytes of entries that
// did not change (ListEncodingCache), so the owning thread pays only for what changed; joining
// and writing happen on the writer thread. A list whose file cannot be written stays marked and
// is tried again after kRetryMs; writeFailed() is emitted once until it is written again.
// A list removed from the set is let go before the removal goes on: no write of it lands later.
// Lives on the thread that owns the set (the GUI thread); the set must outlive it.
class ListSaver : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 1000;
    static constexpr int kRetryMs = 5000;

    // Encodes every list of the set once (the start of the cache), then watches the set.
    explicit ListSaver(ServerListSet& lists, QObject* parent = nullptr);
    ~ListSaver() override;

    // Writes every marked list now and waits until the writer is done. Returns the number of
    // lists whose file could not be written (they stay marked).
    int flush();
    // Lets go of the set: flushes, stops watching it and ends the writer thread. Idempotent.
    void stop();

    // Lists marked and not yet handed to the writer.
    std::size_t pendingCount() const { return m_marked.size(); }

signals:
    // The file of a list could not be written; its data stays in memory and is tried again.
    void writeFailed(const QString& listName, const QString& path);
    // A list that could not be written has been written.
    void writeRecovered(const QString& path);

private:
    struct Job {
        const ServerList* list = nullptr; // a key only; never used by the writer thread
        std::string path;
        ListEncodingCache::Pieces pieces;
    };
    struct Outcome {
        const ServerList* list = nullptr;
        std::string path;
        bool ok = false;
    };

    void onChange(const ServerList& list, ListChange change);
    void mark(const ServerList& list);
    void handOver();
    void run();
    void waitUntilIdle(const ServerList* list);
    void takeOutcomes();
    void report(const Outcome& outcome);

    ServerListSet* m_lists;
    QTimer m_timer;
    std::set<const ServerList*> m_marked;
    std::set<const ServerList*> m_failing;
    std::map<const ServerList*, ListEncodingCache> m_caches;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::vector<Job> m_queue;
    std::vector<Outcome> m_outcomes;
    const ServerList* m_writing = nullptr;
    bool m_busy = false;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace ondel
