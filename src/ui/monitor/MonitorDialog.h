#pragma once

#include "WindowServices.h"
#include "monitor/PlayerView.h"
#include "serverlist/ServerEntry.h"

#include <QDialog>

#include <map>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QTimer;

namespace ondel {

class CEditEx;
class BrowserWindow;
class ColorListCtrl;
class ListSelector;
class Notifier;
class RconConsole;
struct ServerAddress;
class ServerSelector;
class UiPrompt;
class UpDownArrows;

// The program's main window (dialog 102 with menu 129): the list and server selectors, the
// user's data of the shown server, the details panel, the player and rules views, and the
// refresh cycle that drives the query engine once a second. Every edit goes into the current
// server at once (QueryEngine::setCurrentServer). The dialog ends with Esc, the close box or
// "&Exit"; the caller saves the lists afterwards.
//
// Every control and menu command carries its id in the property "controlId"; commands of
// features that are wired elsewhere start disabled (Connect 3, Settings 40003) and their owners
// enable and connect them through commandAction(); the program does that when it builds the
// window (the game launcher), so the window itself knows nothing of them.
// The services and the prompt must outlive the dialog. GUI thread only.
class MonitorDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 1000;
    // "Players in the Tray Icon" (checkable), in the Settings menu; wired by PlayersTrayIcon.
    static constexpr int kTrayIconCommand = 40050;

    MonitorDialog(WindowServices services, UiPrompt& prompt, QWidget* parent = nullptr);
    ~MonitorDialog() override;

    // The menu command with that id, or nullptr.
    QAction* commandAction(int id) const;

    // Puts text into the server selector's edit field as if it had been typed.
    void setServerText(const QString& text);

    // One refresh cycle: the query engine's request cycle, then the display (timer 1).
    void tick();
    // The display part of the cycle: working copy, views, fields, title.
    void refreshDisplay();

    // While the game started from this window runs: no ticks and the "Connected to" title.
    void setGameRunning(bool running);
    bool isGameRunning() const { return m_gameRunning; }

    const ServerEntry& workingCopy() const { return m_work; }
    const PlayerSort& playerSort() const { return m_sort; }
    ColorListCtrl* playerView() const { return m_players; }
    ColorListCtrl* rulesView() const { return m_rules; }
    ServerSelector* serverSelector() const { return m_serverSelector; }
    QComboBox* listSelector() const;
    QTimer* refreshTimer() const { return m_timer; }
    const WindowServices& services() const { return m_services; }
    UiPrompt& prompt() const { return m_prompt; }

    // The list and server selectors.
    void fillListSelector();
    void selectList();
    void fillSelector();
    void selectServer();
    // The Delete key on item index of the open server drop-down; topRow is restored afterwards.
    void deleteEntry(int index, int topRow);

    // The remote console ("Rcon-Console ..."): a new one replaces an open one; selecting another
    // server destroys it. nullptr when none is open.
    RconConsole* rconConsole() const { return m_console.get(); }
    void openRconConsole();
    void closeRconConsole();

    // The server browser ("Server List" > "Browser..."): opens it on the current list, or
    // brings the open one to the front. It lives until the monitor goes.
    BrowserWindow* openBrowser();
    BrowserWindow* browser() const { return m_browser.get(); }
    // Shows a server of the list at listIndex as if chosen in the selectors (the list becomes
    // current first), and brings this window to the front.
    void showListServer(std::size_t listIndex, const ServerAddress& address);

    // The program's desktop notifications, for this window and those it opens (the browser's
    // watched players). Not owned; it must outlive the window. null: none.
    void setNotifier(Notifier* notifier);
    Notifier* notifier() const { return m_notifier; }

signals:
    // Before another server is selected (the remote console closes on it).
    void aboutToSelectServer();
    // After every refresh cycle.
    void ticked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    QAction* addCommand(QMenu* menu, const QString& text, int id);

    void refreshPlayers();
    void refreshRules();
    void updateFields();
    void updateTitle();
    void showEditFields();
    void applyPasswordEcho();
    // Copies the engine's current server, lets edit change it and makes it current again.
    template <typename Edit> void editCurrent(Edit edit);

    void onPlayerHeaderClicked(int column);
    void onPlayerRowSelection(int row, bool selected);
    void onServerTextEdited();
    void onServerItemChosen(int index);
    void onArrowStep(int step);
    void onPasswordEdited();
    void onHideClicked();
    void onCommentEdited();
    void onReservedSlotsChosen(int index);
    void onListChosen(int index);
    void onSortCommand(int commandId);
    void onOpenList();
    void onNewList();
    void onFindServers();
    void onDeleteList();
    void onRenameList();
    void onAbout();

    WindowServices m_services;
    UiPrompt& m_prompt;
    Notifier* m_notifier = nullptr;

    ServerEntry m_work;
    PlayerSort m_sort;
    bool m_minimized = false;
    bool m_gameRunning = false;
    bool m_refreshing = false;        // the views are being rebuilt: selection changes are ours
    bool m_showingFields = false;     // the edit controls are being written: no edit events
    std::optional<bool> m_echoHidden; // the password echo mode applied last

    QMenuBar* m_menuBar = nullptr;
    QWidget* m_client = nullptr;
    std::map<int, QAction*> m_commands;
    QTimer* m_timer = nullptr;

    ListSelector* m_listSelector = nullptr;     // 1009
    ServerSelector* m_serverSelector = nullptr; // 1008
    UpDownArrows* m_arrows = nullptr;           // 1043
    QPlainTextEdit* m_comment = nullptr;        // 1018
    QLineEdit* m_password = nullptr;            // 1006
    QCheckBox* m_hide = nullptr;                // 1010
    QCheckBox* m_save = nullptr;                // 1011
    QComboBox* m_reservedSlots = nullptr;       // 1022
    QLineEdit* m_ping = nullptr;                // 1002
    QLineEdit* m_send = nullptr;                // 1004
    QLineEdit* m_receive = nullptr;             // 1005
    QPlainTextEdit* m_hostName = nullptr;       // 1012
    QLineEdit* m_lastConnected = nullptr;       // 1025
    CEditEx* m_game = nullptr;                  // 1015
    QLineEdit* m_playersText = nullptr;         // 1007
    CEditEx* m_map = nullptr;                   // 1013
    CEditEx* m_passwordRequired = nullptr;      // 1014
    QLineEdit* m_type = nullptr;                // 1017
    QLineEdit* m_adminMod = nullptr;            // 1019
    QLineEdit* m_friendlyFire = nullptr;        // 1021
    QLineEdit* m_timeLimit = nullptr;           // 1023
    QLineEdit* m_timeLeft = nullptr;            // 1024
    ColorListCtrl* m_players = nullptr;         // 1003
    ColorListCtrl* m_rules = nullptr;           // 1000
    std::unique_ptr<RconConsole> m_console;     // dialog 137, a top-level window
    std::unique_ptr<BrowserWindow> m_browser;   // a top-level window
};

} // namespace ondel
