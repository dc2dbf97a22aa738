#include "BrowserRefresh.h"

#include "settings/SettingsKeys.h"

#include <QComboBox>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>

namespace ondel {

namespace {

QString autoRefreshText(int seconds) {
    if (seconds == 0)
        return QStringLiteral("Off");
    if (seconds % 60 == 0 && seconds >= 300)
        return QStringLiteral("%1 min").arg(seconds / 60);
    return QStringLiteral("%1 s").arg(seconds);
}

int choiceIndex(int seconds) {
    const auto* begin = std::begin(BrowserRefresh::kAutoRefreshChoices);
    const auto* end = std::end(BrowserRefresh::kAutoRefreshChoices);
    const auto* it = std::find(begin, end, seconds);
    return it != end ? static_cast<int>(it - begin) : -1;
}

} // namespace

BrowserRefresh::BrowserRefresh(ScanService& scans, SettingsStore& settings, QWidget* window)
    : QObject(window), m_scans(scans), m_settings(settings) {
    m_batchTimer = new QTimer(this);
    m_batchTimer->setInterval(kBatchMs);
    connect(m_batchTimer, &QTimer::timeout, this, &BrowserRefresh::flush);
    m_autoTimer = new QTimer(this);
    connect(m_autoTimer, &QTimer::timeout, this, [this] {
        if (!m_running)
            emit due();
    });

    m_autoRefreshBox = new QComboBox(window);
    m_autoRefreshBox->setObjectName(QLatin1String(kAutoRefreshBox));
    for (int seconds : kAutoRefreshChoices)
        m_autoRefreshBox->addItem(autoRefreshText(seconds), seconds);
    connect(m_autoRefreshBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(std::size(kAutoRefreshChoices)))
            setAutoRefresh(kAutoRefreshChoices[index]);
    });
    m_progress = new QProgressBar(window);
    m_progress->setObjectName(QLatin1String(kRefreshProgress));
    m_progress->setMinimumWidth(160);
    resetProgress();

    // A stored interval that is not one of the choices reads as off.
    const int stored = settings::read(m_settings, settings::kBrowserAutoRefresh);
    setAutoRefresh(kAutoRefreshChoices[std::max(choiceIndex(stored), 0)]);
}

BrowserRefresh::~BrowserRefresh() {
    // The scan service outlives this object: nothing may call back into it.
    if (m_running)
        m_scans.cancel();
}

void BrowserRefresh::resetProgress() {
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QString());
}

void BrowserRefresh::start(const std::vector<ServerAddress>& addresses) {
    stop();
    m_total = addresses.size();
    m_done = 0;
    m_progress->setRange(0, static_cast<int>(std::max<std::size_t>(m_total, 1)));
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%v/%m servers"));
    if (addresses.empty()) {
        emit finished();
        return;
    }
    m_running = true;
    m_batchTimer->start();
    m_scans.start(
        addresses,
        [this](const ScanResult& result) {
            // Only queued here: results are handed on in batches.
            m_pending.push_back(result);
            ++m_done;
        },
        [this] {
            flush();
            m_running = false;
            m_batchTimer->stop();
            emit finished();
        });
}

void BrowserRefresh::stop() {
    if (!m_running)
        return;
    m_scans.cancel();
    flush();
    m_running = false;
    m_batchTimer->stop();
}

void BrowserRefresh::flush() {
    m_progress->setValue(static_cast<int>(std::min(m_done, m_total)));
    if (m_pending.empty())
        return;
    std::vector<ScanResult> batch;
    batch.swap(m_pending);
    emit resultsArrived(batch);
}

void BrowserRefresh::setAutoRefresh(int seconds) {
    const int index = choiceIndex(seconds);
    if (index < 0)
        return;
    if (m_autoRefreshBox->currentIndex() != index)
        m_autoRefreshBox->setCurrentIndex(index);
    if (settings::read(m_settings, settings::kBrowserAutoRefresh) != seconds)
        settings::write(m_settings, settings::kBrowserAutoRefresh, seconds);
    if (seconds > 0)
        m_autoTimer->start(seconds * 1000);
    else
        m_autoTimer->stop();
}

} // namespace ondel
