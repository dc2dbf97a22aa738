#pragma once

#include "browser/ScanService.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace ondel {

// The program's ScanService: a Scan made by the factory for each start, ticked by a timer of the
// event loop while it runs (datagrams reach it through the query socket's router). A factory
// that gives no Scan (no query socket) settles every address as a timeout at the next turn of
// the event loop, without traffic.
// GUI thread only; the factory's Scan must not outlive what it references.
class ScanRunner : public QObject, public ScanService {
public:
    using ScanFactory = std::function<std::unique_ptr<Scan>()>;
    using QueryFactory = std::function<std::unique_ptr<ServerQuery>(const ServerEntry& entry)>;

    // queryFactory makes the queries of watchServer (none without one).
    explicit ScanRunner(ScanFactory factory, QueryFactory queryFactory = {},
                        QObject* parent = nullptr);
    ~ScanRunner() override;

    void start(const std::vector<ServerAddress>& addresses, ResultHandler onResult,
               FinishedHandler onFinished) override;
    void cancel() override;
    bool running() const override;
    std::unique_ptr<ServerQuery> watchServer(const ServerEntry& entry) override;

    // Sees every result a scan read before the caller's handler does (the history records
    // them); addresses settled without a scan are not results and are not shown to it.
    void setResultObserver(ResultHandler observer) { m_observer = std::move(observer); }

    // How often a running scan is ticked.
    static constexpr int kTickMs = 10;

private:
    void tick();
    void settleWithoutScan();

    ScanFactory m_factory;
    QueryFactory m_queryFactory;
    std::unique_ptr<Scan> m_scan;
    // A scan replaced from inside one of its own handlers is destroyed at the next tick.
    std::unique_ptr<Scan> m_retired;
    std::vector<ServerAddress> m_unscanned; // without a Scan: settled as timeouts
    ResultHandler m_onResult;
    ResultHandler m_observer;
    FinishedHandler m_onFinished;
    QTimer m_timer;
    bool m_running = false;
    unsigned m_generation = 0; // one per start and cancel
};

} // namespace ondel
