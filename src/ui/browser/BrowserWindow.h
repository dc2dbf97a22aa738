#pragma once

#include "BrowserFilterBar.h"
#include "BrowserListRows.h"
#include "BrowserRefresh.h"
#include "BrowserServerActions.h"
#include "browser/BrowserRow.h"

#include <QWidget>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;

namespace ondel {

class BrowserBlocklist;
class BrowserDetails;
class BrowserTable;
class BrowserWatch;
class CountryLookup;
class HistoryStore;
class ListSelector;
class Notifier;
class ServerList;
class ServerListSet;
class SettingsStore;

// The server browser: the servers of one list in a sortable, filtered table, refreshed all at
// once by a scan (F5, or every 30 s, 60 s or 5 min). Results go into the list's entries too, so
// the monitor's server selector shows them and they are saved with the lists.
//
// A modeless top-level window that wires its parts: the shown list and its rows
// (BrowserListRows), the filter row (BrowserFilterBar), the table (BrowserTable), the refresh
// (BrowserRefresh), the details pane (BrowserDetails), the commands on a server
// (BrowserServerActions), the watch list (BrowserWatch) and the blocklist (BrowserBlocklist). It
// references lists, settings, scans and prompt, which must outlive it; it finds its list again by
// file path at every use, so a list deleted elsewhere is never touched. GUI thread only.
class BrowserWindow : public QWidget {
    Q_OBJECT
public:
    using Actions = BrowserServerActions::Hooks;

    // The object names of the window's own controls (the filter row, the refresh and the details
    // pane name theirs).
    static constexpr const char* kServerTable = "serverTable";
    static constexpr const char* kListSelector = "listSelector";
    static constexpr const char* kRefreshAction = "refreshAction";
    static constexpr const char* kStatusLabel = "statusLabel";

    BrowserWindow(ServerListSet& lists, SettingsStore& settings, ScanService& scans, Prompt& prompt,
                  Actions actions, QWidget* parent = nullptr);
    ~BrowserWindow() override;

    // Shows the list at index (ignored when there is none); a running refresh stops.
    void showList(std::size_t index);
    // Index of the shown list in the set, or -1 when it is gone.
    int listIndex() const { return m_rows->index(); }
    // The shown list, or nullptr when it is gone.
    ServerList* shownList() const { return m_rows->list(); }
    // Reads the shown list again (servers added or removed elsewhere); what this window's scans
    // learnt about the servers that stay is kept.
    void reloadList();

    // Refresh now (F5): every server of the shown list but the blocked ones.
    void refresh();

    // The context menu of a server (Connect, Copy address, Add to list, Alerts, Remove, Block), for
    // the row shown at proxyRow. Owned by the caller; nullptr for no row.
    std::unique_ptr<QMenu> contextMenuFor(int proxyRow);
    // Shows the server at proxyRow in the monitor (double-click, Enter).
    void showInMonitor(int proxyRow) { m_actions->showInMonitor(proxyRow); }

    // Where watched players are announced. Not owned; null: not announced.
    void setNotifier(Notifier* notifier);
    // The watch list (stored in the settings at once); see WatchListDialog for its limit.
    void setWatchedPlayers(const std::vector<std::string>& names);
    void editWatchList();
    // The blocklist file (blocklist.txt of the data folder); empty: nothing is blocked.
    void setBlocklistPath(std::string path);
    // Where the details pane reads the selected server's history graph from (the store must
    // outlive the window); nullptr (the default): no graph.
    void setHistory(HistoryStore* store);
    // Where countries come from; nullptr (the default) hides the Country column. Not owned.
    void setCountryLookup(const CountryLookup* countries);

    BrowserModel& model() const { return m_rows->model(); }
    BrowserProxyModel& proxy() const { return m_rows->proxy(); }

signals:
    // After results of a refresh went into the list (the monitor may show them).
    void listUpdated();
    // A refresh has ended (every server reported).
    void refreshFinished();

private:
    void buildControls();
    void fillListSelector();
    void applyResults(const std::vector<ScanResult>& batch);
    void updateStatus();
    void updateTitle();
    const ServerEntry* selectedEntry() const;

    ServerListSet& m_lists;
    BrowserListRows* m_rows = nullptr;

    ListSelector* m_listSelector = nullptr;
    BrowserFilterBar* m_filters = nullptr;
    BrowserTable* m_table = nullptr;
    BrowserRefresh* m_refresh = nullptr;
    BrowserDetails* m_details = nullptr;
    BrowserBlocklist* m_blocklist = nullptr;
    BrowserWatch* m_watch = nullptr;
    BrowserServerActions* m_actions = nullptr;
    QLabel* m_status = nullptr;
};

} // namespace ondel
