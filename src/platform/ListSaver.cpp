#include "platform/ListSaver.h"

#include "common/AtomicFile.h"

#include <algorithm>

namespace ondel {

ListSaver::ListSaver(ServerListSet& lists, QObject* parent) : QObject(parent), m_lists(&lists) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ListSaver::handOver);
    m_lists->setChangeListener(
        [this](const ServerList& list, ListChange change) { onChange(list, change); });
    // The bytes of every entry, now: later writes then encode only what changed, and the first
    // change of a large list does not stop the thread for the whole list.
    for (std::size_t i = 0; i < m_lists->size(); ++i) {
        ListEncodingCache::Pieces unused;
        m_caches[&m_lists->at(i)].encode(m_lists->at(i), unused);
    }
    m_thread = std::thread([this] { run(); });
}

ListSaver::~ListSaver() {
    stop();
}

void ListSaver::onChange(const ServerList& list, ListChange change) {
    if (change != ListChange::Removed) {
        mark(list);
        return;
    }
    m_marked.erase(&list);
    m_failing.erase(&list);
    m_caches.erase(&list);
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_queue, [&](const Job& job) { return job.list == &list; });
        std::erase_if(m_outcomes, [&](const Outcome& outcome) { return outcome.list == &list; });
    }
    // The caller moves the list's files next: a write of it in progress must land first.
    waitUntilIdle(&list);
}

void ListSaver::mark(const ServerList& list) {
    m_marked.insert(&list);
    if (!m_timer.isActive())
        m_timer.start(kDelayMs);
}

void ListSaver::handOver() {
    if (m_lists == nullptr || m_marked.empty())
        return;
    std::vector<Job> jobs;
    for (std::size_t i = 0; i < m_lists->size(); ++i) {
        const ServerList& list = m_lists->at(i);
        if (!m_marked.count(&list))
            continue;
        Job job{&list, list.filePath(), {}};
        if (!m_caches[&list].encode(list, job.pieces)) {
            // A text or count the format cannot hold: trying again would not help.
            m_caches.erase(&list);
            report({&list, list.filePath(), false});
            continue;
        }
        jobs.push_back(std::move(job));
    }
    m_marked.clear();
    {
        std::lock_guard lock(m_mutex);
        for (Job& job : jobs) {
            // A newer state of a list replaces the one still waiting.
            std::erase_if(m_queue, [&](const Job& queued) { return queued.list == job.list; });
            m_queue.push_back(std::move(job));
        }
    }
    m_wake.notify_one();
}

void ListSaver::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_queue.empty())
            return; // quit, and nothing left to write
        Job job = std::move(m_queue.front());
        m_queue.erase(m_queue.begin());
        m_writing = job.list;
        m_busy = true;
        lock.unlock();
        const std::vector<std::uint8_t> bytes = job.pieces.join();
        const bool ok = writeFileAtomically(job.path, bytes);
        lock.lock();
        m_writing = nullptr;
        m_busy = false;
        m_outcomes.push_back({job.list, std::move(job.path), ok});
        m_idle.notify_all();
        QMetaObject::invokeMethod(this, &ListSaver::takeOutcomes, Qt::QueuedConnection);
    }
}

void ListSaver::waitUntilIdle(const ServerList* list) {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] {
        if (list != nullptr)
            return m_writing != list;
        return m_queue.empty() && !m_busy;
    });
}

void ListSaver::takeOutcomes() {
    std::vector<Outcome> outcomes;
    {
        std::lock_guard lock(m_mutex);
        outcomes.swap(m_outcomes);
    }
    for (const Outcome& outcome : outcomes)
        report(outcome);
}

void ListSaver::report(const Outcome& outcome) {
    if (m_lists == nullptr || m_lists->indexOf(*outcome.list) < 0)
        return;
    const ServerList& list = *outcome.list;
    if (outcome.ok) {
        if (m_failing.erase(&list))
            emit writeRecovered(QString::fromStdString(outcome.path));
        return;
    }
    // The data stays in memory, marked, for the next try.
    m_marked.insert(&list);
    if (!m_timer.isActive())
        m_timer.start(kRetryMs);
    if (m_failing.insert(&list).second)
        emit writeFailed(QString::fromStdString(list.name()), QString::fromStdString(outcome.path));
}

int ListSaver::flush() {
    handOver();
    waitUntilIdle(nullptr);
    std::vector<Outcome> outcomes;
    {
        std::lock_guard lock(m_mutex);
        outcomes.swap(m_outcomes);
    }
    int failed = 0;
    for (const Outcome& outcome : outcomes) {
        failed += outcome.ok ? 0 : 1;
        report(outcome);
    }
    return failed;
}

void ListSaver::stop() {
    if (m_lists == nullptr)
        return;
    flush();
    m_lists->setChangeListener({});
    m_lists = nullptr;
    m_timer.stop();
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace ondel
