#pragma once

#include "browser/ScanService.h"

#include <QObject>

#include <cstddef>
#include <vector>

class QComboBox;
class QProgressBar;
class QTimer;
class QWidget;

namespace ondel {

class SettingsStore;

// One refresh of the browser's servers at a time through the scan service, with its progress
// bar, and the auto-refresh interval chosen in its box (kept in the settings). Results are handed
// on in batches (resultsArrived), at most every kBatchMs. References the scans and settings, which
// must outlive it; a running scan is cancelled when it ends. GUI thread only.
class BrowserRefresh : public QObject {
    Q_OBJECT
public:
    static constexpr int kBatchMs = 100;
    // The auto-refresh choices in seconds, in the order of the "Auto-refresh:" box; 0 is off.
    static constexpr int kAutoRefreshChoices[] = {0, 30, 60, 300};
    // The object names of the box and the bar.
    static constexpr const char* kAutoRefreshBox = "autoRefreshBox";
    static constexpr const char* kRefreshProgress = "refreshProgress";

    // The box and the bar are made as children of window.
    BrowserRefresh(ScanService& scans, SettingsStore& settings, QWidget* window);
    ~BrowserRefresh() override;

    // Asks every one of addresses, after stopping a running refresh; with none, finished() comes
    // at once.
    void start(const std::vector<ServerAddress>& addresses);
    // Stops a running refresh; what arrived so far is handed on.
    void stop();
    bool isRunning() const { return m_running; }
    std::size_t done() const { return m_done; }
    std::size_t total() const { return m_total; }
    // An empty progress bar (another list is shown).
    void resetProgress();

    // Auto-refresh interval in seconds (0: off); another value than the choices is ignored.
    void setAutoRefresh(int seconds);

    QComboBox* autoRefreshBox() const { return m_autoRefreshBox; }
    QProgressBar* progressBar() const { return m_progress; }

signals:
    void resultsArrived(const std::vector<ScanResult>& batch);
    // Every server reported (after the last resultsArrived).
    void finished();
    // The auto-refresh interval passed while no refresh runs.
    void due();

private:
    void flush();

    ScanService& m_scans;
    SettingsStore& m_settings;
    std::vector<ScanResult> m_pending; // results not yet handed on
    std::size_t m_total = 0;
    std::size_t m_done = 0;
    bool m_running = false;
    QComboBox* m_autoRefreshBox = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer* m_batchTimer = nullptr;
    QTimer* m_autoTimer = nullptr;
};

} // namespace ondel
