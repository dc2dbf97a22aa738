#include "ScanRunner.h"

namespace ondel {

ScanRunner::ScanRunner(ScanFactory factory, QueryFactory queryFactory, QObject* parent)
    : QObject(parent), m_factory(std::move(factory)), m_queryFactory(std::move(queryFactory)) {
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &ScanRunner::tick);
}

ScanRunner::~ScanRunner() = default;

void ScanRunner::start(const std::vector<ServerAddress>& addresses, ResultHandler onResult,
                       FinishedHandler onFinished) {
    cancel();
    ++m_generation;
    m_onResult = std::move(onResult);
    m_onFinished = std::move(onFinished);
    m_running = true;
    m_scan = m_factory ? m_factory() : nullptr;
    if (m_scan) {
        m_scan->setResultHandler([this](const ScanResult& r) {
            if (m_observer)
                m_observer(r);
            if (m_onResult)
                m_onResult(r);
        });
        m_scan->setFinishedHandler([this] {
            m_running = false;
            m_timer.stop();
            if (m_onFinished)
                m_onFinished();
        });
        m_scan->add(addresses);
    } else {
        m_unscanned = addresses;
    }
    if (m_running)
        m_timer.start();
}

void ScanRunner::cancel() {
    m_timer.stop();
    m_running = false;
    ++m_generation;
    m_unscanned.clear();
    if (m_scan) {
        m_scan->cancel();
        m_retired = std::move(m_scan);
    }
}

bool ScanRunner::running() const {
    return m_running;
}

void ScanRunner::tick() {
    m_retired.reset();
    if (m_scan)
        m_scan->tick();
    else if (m_running)
        settleWithoutScan();
}

void ScanRunner::settleWithoutScan() {
    std::vector<ServerAddress> addresses = std::move(m_unscanned);
    m_unscanned.clear();
    const unsigned generation = m_generation;
    std::size_t index = 0;
    for (const ServerAddress& address : addresses) {
        ScanResult r;
        r.index = index++;
        r.address = address;
        r.entry.address = address;
        if (m_onResult)
            m_onResult(r);
        if (m_generation != generation)
            return; // cancelled or restarted from the handler
    }
    m_running = false;
    m_timer.stop();
    if (m_onFinished)
        m_onFinished();
}

std::unique_ptr<ServerQuery> ScanRunner::watchServer(const ServerEntry& entry) {
    return m_queryFactory ? m_queryFactory(entry) : nullptr;
}

} // namespace ondel
