#pragma once

#include "alerts/AlertDelivery.h"
#include "alerts/AlertTracker.h"
#include "browser/Blocklist.h"
#include "history/HistoryStore.h"
#include "platform/ListSaver.h"
#include "platform/ScanRunner.h"
#include "platform/SystemClock.h"
#include "platform/WindowSocket.h"
#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/QueryEngine.h"
#include "query/ServerKnowledge.h"
#include "serverlist/ServerListSet.h"

#include <QObject>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace ondel {

class CountryLookup;

class Notifier;
class Prompt;
class SettingsStore;

// The one process-wide object: the settings store, the query socket with its router and the
// per-server packet budget, what is known about servers, the clock, the server lists and the
// query engine, plus the hook that starts the master session. Windows get it by
// reference; there is no global. Lives on the GUI thread; owns everything it hands out, for its
// whole life.
class Application : public QObject {
    Q_OBJECT
public:
    // dataDirectory: where the list files are kept, relative to the current directory at start()
    // or absolute; empty means the user's data folder (defaultDataDirectory(), made with mode
    // 0700 when missing). A '/' is appended. prompt must outlive the object.
    explicit Application(Prompt& prompt, std::string dataDirectory = {});
    ~Application() override;

    // Start-up, in order: the settings store, the query socket on the first free port of
    // 7130..7139 (when none is free the error "Can't initialize socket!!!" is shown and start-up
    // goes on without a working socket), the data directory (a folder that cannot be made is
    // reported the same way), and every server list. Returns
    // false only when the program cannot run at all (never, on this platform).
    bool start();
    // Step 4 of start() on its own, for a caller that needs the folder before the rest (the
    // window takes the folder's lock first): the folder given, made with mode 0700 when missing
    // (a failure is reported as an error box), or the user's data folder; made absolute, with a
    // '/' at the end. start() does it only when it has not been done.
    void prepareDataDirectory();
    // The end of the run: the list saver is stopped and every list is written back to its file.
    void finish();
    // Writes every list that changed and waits for it (the session manager's save request, a
    // signal). Returns the number of lists that could not be written.
    int saveChangedLists();

    SettingsStore& settings() { return *m_settings; }
    QueryEngine& engine() { return m_engine; }
    ServerListSet& lists() { return m_lists; }
    Clock& clock() { return m_clock; }
    WindowSocket& socket() { return m_socket; }
    DatagramRouter& router() { return m_router; }
    ServerKnowledge& knowledge() { return m_knowledge; }
    Prompt& prompt() { return m_prompt; }
    // Scans of many servers (the browser), on the query socket.
    ScanService& scans() { return m_scans; }
    const std::string& dataDirectory() const { return m_dataDirectory; }
    // The servers' history (history.sqlite in the data directory), made by start(). Every
    // answer and miss of the monitor and of the browser's scans goes into it, gathered on the
    // GUI thread and handed to its writer thread once a second.
    HistoryStore* history() { return m_history.get(); }
    // The country database (ONDEL_GEOIP_DB, the GeoIpDatabase setting, or the usual places),
    // opened at the first call; nullptr when there is none or it cannot be read.
    const CountryLookup* countries();
    // The entry of blocklist.txt in the data directory that blocks address, or nothing. The
    // file is read again when it changed (the browser edits it), at most once a second.
    std::optional<std::string> blockedBy(const ServerAddress& address);
    // The XDG data folder of the application name: $XDG_DATA_HOME/Ondel, or
    // ~/.local/share/Ondel (empty when there is no home folder).
    static std::string defaultDataDirectory();

    // The "Error" box with the error icon and an OK button; the text is cut at 511 bytes (never
    // inside a UTF-8 sequence). With fatal set the process then ends at once with status 1,
    // saving nothing.
    void showError(bool fatal, const std::string& text);

    // The alerts: every answer and miss of the monitor and of the browser's scans, for the
    // servers of the lists that have rules (readListAlerts, readServerAlerts), goes through one
    // tracker. Each alert is shown through the notifier (not the browser's watched players,
    // which it announces itself) and handed to the webhook and the command of the settings on
    // a worker thread. The settings and the lists are looked at again once a second when
    // they changed, so that an edit reaches the tracker without a word.
    void setNotifier(Notifier* notifier) { m_notifier = notifier; }
    // Reads the rules and the targets again now.
    void reloadAlerts();

    // Run once, on the first accepted info reply of the run (the master session's start).
    void setMasterStarter(std::function<void()> start) { m_masterStarter = std::move(start); }
    bool masterStarted() const { return m_masterStarted; }

    // How a fatal error ends the process; tests replace it. Default: flush stdio, _Exit(status).
    void setExitFunction(std::function<void(int status)> exit) { m_exit = std::move(exit); }

    static constexpr std::size_t kMaxErrorText = 511;
    // How often the gathered history samples go to the store's writer.
    static constexpr int kRecordEveryMs = 1000;

private:
    void onResult(QueryEngine::Result what, const ServerEntry& record);
    void onListWriteFailed(const QString& listName, const QString& path);
    void noteSample(HistorySample sample);
    void observeForAlerts(const AlertObservation& seen, bool fromBrowser);
    void reloadAlertsWhenChanged();
    void recordSamples();
    std::int64_t wallMs() const;

    Prompt& m_prompt;
    std::string m_dataDirectory;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<CountryLookup> m_countries;
    bool m_countriesOpened = false;
    Blocklist m_blocklist;
    std::filesystem::file_time_type m_blocklistTime{};
    std::uint32_t m_blocklistCheckedTick = 0;
    bool m_blocklistChecked = false;
    SystemClock m_clock;
    WindowSocket m_socket;
    QueryBudget m_budget;
    DatagramRouter m_router;
    ServerKnowledge m_knowledge;
    ServerListSet m_lists;
    bool m_dataDirectoryPrepared = false;
    // Writes the lists as they change, from the end of start() to finish().
    std::unique_ptr<ListSaver> m_saver;
    QueryEngine m_engine;
    // Each refresh of the browser is one Scan on the router's socket; its details pane watches
    // its server with a ServerQuery there.
    ScanRunner m_scans{[this] { return std::make_unique<Scan>(m_clock, m_router, m_knowledge); },
                       [this](const ServerEntry& entry) {
                           return std::make_unique<ServerQuery>(m_clock, m_router, m_knowledge,
                                                                entry);
                       }};
    std::function<void()> m_masterStarter;
    bool m_masterStarted = false;
    std::function<void(int)> m_exit;
    std::unique_ptr<HistoryStore> m_history;
    std::vector<HistorySample> m_samples; // not yet handed to the store
    QTimer m_recordTimer;
    AlertTracker m_alerts;
    std::set<std::string> m_alerted; // the servers that have rules
    std::size_t m_alertInputs = 0;   // what the rules were last read from, as a hash
    Notifier* m_notifier = nullptr;
    AlertDelivery m_delivery{{}, {}, "ondel"};
};

} // namespace ondel
