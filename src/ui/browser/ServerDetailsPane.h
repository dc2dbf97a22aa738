#pragma once

#include "monitor/PlayerView.h"
#include "platform/SystemClock.h"
#include "query/ServerQuery.h"
#include "serverlist/ServerEntry.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QFormLayout;
class QHBoxLayout;
class QLineEdit;
class QTimer;

namespace ondel {

class ColorListCtrl;
class SettingsStore;

// The browser's pane under its table: the selected server's details (the monitor's "Server
// details" fields and "Ping:"), its players (sortable by a click on a header, as in the monitor)
// and its rules. While a server is shown it is kept live by a ServerQuery of its own, made by the
// factory on the program's socket and packet budget and ticked once a second on the monitor's
// polite schedule; nothing is sent while the pane is hidden or squeezed to nothing. The texts and
// colours come from the monitor's own presentation logic (DetailsPanel, PlayerView).
//
// The pane is laid out as a row of parts, so that more (a history graph) can be added beside
// them with addPart(). References settings, which must outlive it; the queries it makes are
// destroyed with it or when another server is shown. GUI thread only.
class ServerDetailsPane : public QWidget {
    Q_OBJECT
public:
    using QueryFactory = std::function<std::unique_ptr<ServerQuery>(const ServerEntry& entry)>;
    static constexpr int kTickMs = 1000;
    static constexpr const char* kObjectName = "ServerDetailsPane";

    ServerDetailsPane(SettingsStore& settings, QueryFactory factory, QWidget* parent = nullptr);
    ~ServerDetailsPane() override;

    // Shows entry (the list's last known data) at once and starts watching the server; the same
    // server again only updates the user's data (password, last connection).
    void showServer(const ServerEntry& entry);
    // Shows nothing and stops watching.
    void clear();
    // The record shown: the last known data, then what the server answers.
    const ServerEntry& entry() const { return m_entry; }
    bool hasServer() const { return m_hasServer; }
    bool isWatching() const { return m_query != nullptr; }

    // Another part of the pane, to the right of the rules (stretch as in QBoxLayout).
    void addPart(QWidget* part, int stretch = 1);

    ColorListCtrl* playersView() const { return m_players; }
    ColorListCtrl* rulesView() const { return m_rules; }
    // The details field with the given label text without its colon ("Map", "Ping", ...), or
    // the host name for "Name"; nullptr for another text.
    QLineEdit* field(const QString& label) const;

signals:
    // The shown record changed (a reply was written into it).
    void updated();

private:
    void buildControls();
    QLineEdit* addField(QFormLayout* form, const QString& label);
    void tick();
    void render();
    void renderFields();
    bool paneShowing() const;

    SettingsStore& m_settings;
    QueryFactory m_factory;
    SystemClock m_clock;
    std::unique_ptr<ServerQuery> m_query;
    ServerEntry m_entry;
    bool m_hasServer = false;
    PlayerSort m_sort;
    bool m_refreshing = false;
    std::string m_selectedPlayer; // the name of the player row the user selected
    QTimer* m_timer = nullptr;

    QHBoxLayout* m_parts = nullptr;
    ColorListCtrl* m_players = nullptr;
    ColorListCtrl* m_rules = nullptr;
    std::vector<std::pair<QString, QLineEdit*>> m_fields;
};

} // namespace ondel
