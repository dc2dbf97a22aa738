#pragma once

#include "browser/BrowserRow.h"

#include <QObject>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace ondel {

class BrowserModel;
class BrowserProxyModel;
class ServerList;
class ServerListSet;
struct ServerEntry;

// The list the browser shows and its rows: the list is found again by its file path at every
// use, so a list deleted elsewhere is never touched. What the scans learnt about a server (its
// state, dialect, ping) is kept by address across reloads and list switches. References lists,
// which must outlive it. GUI thread only.
class BrowserListRows : public QObject {
    Q_OBJECT
public:
    BrowserListRows(ServerListSet& lists, QObject* parent = nullptr);

    // Shows the list at index from the next reload on.
    void show(std::size_t index);
    // Index of the shown list in the set, or -1 when it is gone.
    int index() const;
    ServerList* list() const;
    // Reads the shown list into the model again.
    void reload();
    // The servers a refresh asks: each once, none that is blocked (blockedNotAsked counts those).
    std::vector<ServerAddress> toAsk();
    std::size_t blockedNotAsked() const { return m_blockedNotAsked; }
    // Answers into the list's entries and the rows.
    void apply(const std::vector<ScanResult>& batch);
    // The list's entry of the row shown at proxyRow, or nullptr.
    const ServerEntry* entryAt(int proxyRow) const;

    BrowserModel& model() const { return *m_model; }
    BrowserProxyModel& proxy() const { return *m_proxy; }

private:
    void rememberScanStates();

    ServerListSet& m_lists;
    std::string m_path;
    std::unordered_map<std::string, RowScanState> m_scanStates; // by address text
    std::size_t m_blockedNotAsked = 0;                          // by the last refresh
    BrowserModel* m_model = nullptr;
    BrowserProxyModel* m_proxy = nullptr;
};

} // namespace ondel
