#pragma once

#include "browser/BrowserRow.h"
#include "notify/PlayerWatch.h"

#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;

namespace ondel {

class BrowserModel;
class BrowserProxyModel;
class CountryLookup;
class ListSelector;
class Notifier;
class Prompt;
class ScanService;
class ServerDetailsPane;
class ServerList;
class ServerListSet;
class SettingsStore;

// The server browser: the servers of one list in a sortable, filtered table, refreshed all at
// once by a scan (F5, or every 30 s, 60 s or 5 min). Results go into the list's entries too, so
// the monitor's server selector shows them and they are saved with the lists.
//
// A modeless top-level window. It references lists, settings, scans and prompt, which must
// outlive it; it finds its list again by file path at every use, so a list deleted elsewhere is
// never touched. What it cannot do itself (show a server in the monitor, connect to one) goes
// through the hooks of Actions.
//
// Players on the watch list ("Watch players ...", kept in the settings) are looked for in every
// server's players at each refresh: one who is on a server that did not have them at its last
// answer is announced through the notifier, once per arrival. A server that does not answer
// keeps who it had. GUI thread only.
class BrowserWindow : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        // Shows the server of the list at listIndex in the monitor.
        std::function<void(std::size_t listIndex, const ServerAddress& address)> show;
        // The monitor's Connect (with its wait for a free slot) for that server.
        std::function<void(std::size_t listIndex, const ServerAddress& address)> connect;
    };

    // Results are taken into the table and the list at most this often.
    static constexpr int kBatchMs = 100;
    // The auto-refresh choices in seconds, in the order of the "Auto-refresh:" box; 0 is off.
    static constexpr int kAutoRefreshChoices[] = {0, 30, 60, 300};

    BrowserWindow(ServerListSet& lists, SettingsStore& settings, ScanService& scans, Prompt& prompt,
                  Actions actions, QWidget* parent = nullptr);
    ~BrowserWindow() override;

    // Shows the list at index (ignored when there is none); a running refresh stops.
    void showList(std::size_t index);
    // Index of the shown list in the set, or -1 when it is gone.
    int listIndex() const;
    // Reads the shown list again (servers added or removed elsewhere); what this window's scans
    // learnt about the servers that stay is kept.
    void reloadList();

    // Refresh now (F5): every server of the shown list.
    void refresh();
    bool isRefreshing() const { return m_refreshing; }
    // Auto-refresh interval in seconds (0: off); stored in the settings.
    void setAutoRefresh(int seconds);
    int autoRefresh() const { return m_autoRefreshSeconds; }

    // The context menu of a server (Connect, Copy address, Add to list, Remove), for the row
    // shown at proxyRow. Owned by the caller; nullptr for no row.
    std::unique_ptr<QMenu> contextMenuFor(int proxyRow);
    // Shows the server at proxyRow in the monitor (double-click, Enter).
    void showInMonitor(int proxyRow);

    BrowserModel& model() const { return *m_model; }
    BrowserProxyModel& proxy() const { return *m_proxy; }
    QTableView* table() const { return m_table; }
    QLineEdit* filterEdit() const { return m_filterEdit; }
    QLineEdit* playerEdit() const { return m_playerEdit; }
    QCheckBox* hideEmptyBox() const { return m_hideEmpty; }
    QCheckBox* hideFullBox() const { return m_hideFull; }
    QCheckBox* hidePasswordBox() const { return m_hidePassword; }
    QComboBox* autoRefreshBox() const { return m_autoRefreshBox; }
    QProgressBar* progressBar() const { return m_progress; }
    QLabel* statusLabel() const { return m_status; }
    QAction* refreshAction() const { return m_refreshAction; }
    QComboBox* listSelector() const;
    QPushButton* watchButton() const { return m_watchButton; }
    ServerDetailsPane* detailsPane() const { return m_details; }
    QSplitter* splitter() const { return m_splitter; }
    QPushButton* detailsButton() const { return m_detailsButton; }
    // Shows or hides the details pane (stored in the settings).
    void setDetailsShown(bool shown);
    // The minimum width of the Name column; it takes the table's spare width beyond that.
    static constexpr int kMinNameWidth = 220;

    // Where watched players are announced. Not owned; null: not announced.
    void setNotifier(Notifier* notifier) { m_notifier = notifier; }
    // The watch list (stored in the settings at once); see WatchListDialog for its limit.
    void setWatchedPlayers(const std::vector<std::string>& names);
    const std::vector<std::string>& watchedPlayers() const { return m_watch.watched(); }
    // "Watch players ...": the list in a dialog.
    void editWatchList();

    // The blocklist file (blocklist.txt of the data folder); read at once and at every refresh.
    // Blocked servers are neither asked nor shown. Empty: nothing is blocked.
    void setBlocklistPath(std::string path);
    // Adds the server ("Block this server") or its whole address ("Block this address") to
    // the blocklist file; the row goes at once.
    void block(const ServerAddress& address, bool wholeAddress);
    // "Blocklist ...": the file in a dialog.
    void editBlocklist();
    // Where countries come from; nullptr (the default) hides the Country column. Not owned.
    void setCountryLookup(const CountryLookup* countries);
    QCheckBox* hideFakesBox() const { return m_hideFakes; }
    QPushButton* blocklistButton() const { return m_blocklistButton; }

signals:
    // After results of a refresh went into the list (the monitor may show them).
    void listUpdated();
    // A refresh has ended (every server reported).
    void refreshFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fillListSelector();
    void onListChosen(int index);
    void onFilterChanged();
    void onAutoRefreshChosen(int index);
    void onResult(const ScanResult& result);
    void onScanFinished();
    void flushResults();
    void announceWatched(const ScanResult& result);
    void updateStatus();
    void updateTitle();
    void stopRefresh();
    void reloadBlocklist();
    void removeServer(const ServerAddress& address);
    void buildDetailsPane();
    void restoreDetailsPane();
    void onSelectionChanged();
    void fitNameColumn();
    void rememberScanStates();
    void saveSplitter();
    void addToList(std::size_t target, const ServerAddress& address);
    ServerList* shownList() const;

    ServerListSet& m_lists;
    SettingsStore& m_settings;
    ScanService& m_scans;
    Prompt& m_prompt;
    Actions m_actions;
    PlayerWatch m_watch;
    Notifier* m_notifier = nullptr;

    std::string m_listPath; // the shown list, by its file path
    // What the scans learnt per server (by address text), whichever list showed it.
    std::unordered_map<std::string, RowScanState> m_scanStates;
    BrowserModel* m_model = nullptr;
    BrowserProxyModel* m_proxy = nullptr;
    std::vector<ScanResult> m_pending; // results not yet in the table and the list
    std::size_t m_total = 0;
    std::size_t m_done = 0;
    bool m_refreshing = false;
    bool m_finishPending = false; // the scan ended; its last results are still pending
    int m_autoRefreshSeconds = 0;

    ListSelector* m_listSelector = nullptr;
    QLineEdit* m_filterEdit = nullptr;
    QLineEdit* m_playerEdit = nullptr;
    QCheckBox* m_hideEmpty = nullptr;
    QCheckBox* m_hideFull = nullptr;
    QCheckBox* m_hidePassword = nullptr;
    QCheckBox* m_hideFakes = nullptr;
    QPushButton* m_blocklistButton = nullptr;
    std::string m_blocklistPath;
    std::size_t m_blockedNotAsked = 0; // by the last refresh
    QComboBox* m_autoRefreshBox = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QTableView* m_table = nullptr;
    QAction* m_refreshAction = nullptr;
    QPushButton* m_watchButton = nullptr;
    QPushButton* m_detailsButton = nullptr;
    QSplitter* m_splitter = nullptr;
    ServerDetailsPane* m_details = nullptr;
    bool m_fittingName = false;
    QTimer* m_batchTimer = nullptr;
    QTimer* m_autoTimer = nullptr;
};

} // namespace ondel
