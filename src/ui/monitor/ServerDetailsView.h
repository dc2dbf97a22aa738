#pragma once

#include "monitor/PlayerView.h"
#include "serverlist/ServerEntry.h"

#include <QObject>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace ondel {

class CEditEx;
class ColorListCtrl;
class DialogUnits;
struct WindowServices;

// The monitor's view of the shown server: the bandwidth and ping fields, the details panel, and
// the player and rules views, all rebuilt from the working copy on every refresh. A click on a
// player column header sorts the players; selecting players marks them in the current server.
// The controls are made in the form given, at their classic places. GUI thread only.
class ServerDetailsView : public QObject {
    Q_OBJECT
public:
    // Control ids of the player and rules views.
    static constexpr int kPlayersId = 1003;
    static constexpr int kRulesId = 1000;

    // work is the window's working copy; it and the services must outlive the view.
    ServerDetailsView(WindowServices& services, ServerEntry& work, QWidget* form,
                      const DialogUnits& du);

    // Shows the working copy (taken from the engine by the caller).
    void refresh();

private:
    void buildFields(QWidget* form, const DialogUnits& du);
    void buildViews(QWidget* form, const DialogUnits& du);
    void refreshPlayers();
    void refreshRules();
    void updateFields();
    void onHeaderClicked(int column);
    void onPlayerRowSelection(int row, bool selected);

    WindowServices& m_services;
    ServerEntry& m_work;
    PlayerSort m_sort;
    bool m_refreshing = false; // the views are being rebuilt: selection changes are ours

    QLineEdit* m_ping = nullptr;
    QLineEdit* m_send = nullptr;
    QLineEdit* m_receive = nullptr;
    QPlainTextEdit* m_hostName = nullptr;
    QLineEdit* m_lastConnected = nullptr;
    CEditEx* m_game = nullptr;
    QLineEdit* m_playersText = nullptr;
    CEditEx* m_map = nullptr;
    CEditEx* m_passwordRequired = nullptr;
    QLineEdit* m_type = nullptr;
    QLineEdit* m_adminMod = nullptr;
    QLineEdit* m_friendlyFire = nullptr;
    QLineEdit* m_timeLimit = nullptr;
    QLineEdit* m_timeLeft = nullptr;
    ColorListCtrl* m_players = nullptr;
    ColorListCtrl* m_rules = nullptr;
};

} // namespace ondel
