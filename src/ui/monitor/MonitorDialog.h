#pragma once

#include "WindowServices.h"
#include "serverlist/ServerEntry.h"

#include <QDialog>

#include <map>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QTimer;

namespace ondel {

class BrowserWindow;
class EntryEditor;
class ListMenuCommands;
class MonitorWindows;
class Notifier;
struct ServerAddress;
class ServerDetailsView;
class UiPrompt;

// The program's main window (dialog 102 with menu 129): the shell around the entry editor (list
// and server selectors, the user's data of the shown server), the server view (details panel,
// player and rules views), and the list commands, with the refresh cycle that drives the query
// engine once a second. The dialog ends with Esc, the close box or "&Exit"; the caller saves the
// lists afterwards.
//
// Every control and menu command carries its id in the property "controlId"; commands of
// features that are wired elsewhere start disabled (Connect 3, Settings 40003) and their owners
// enable and connect them through commandAction(); the program does that when it builds the
// window (the game launcher), so the window itself knows nothing of them. The refresh timer is
// the child named "refreshTimer".
// The services and the prompt must outlive the dialog. GUI thread only.
class MonitorDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 1000;
    // "Players in the Tray Icon" (checkable), in the Settings menu; wired by PlayersTrayIcon.
    static constexpr int kTrayIconCommand = 40050;
    // "Add Server" (Ins) and "Delete Server" (Del, as in the open server drop-down), in the
    // Server List menu: the shown server into or out of the current list.
    static constexpr int kAddServerCommand = 40051;
    static constexpr int kDeleteServerCommand = 40052;

    MonitorDialog(WindowServices services, UiPrompt& prompt, QWidget* parent = nullptr);
    ~MonitorDialog() override;

    // The font at which the form and the menu bar fit into room (a screen's free area less the
    // frame): font itself, or a smaller one (down to 6 points) on a screen too small for it, such
    // as one at twice the scale. The form keeps its places; only its letters shrink, so that all
    // of it is seen without scrolling.
    static QFont fittingFont(QFont font, QSize room);

    // The menu command with that id, or nullptr.
    QAction* commandAction(int id) const;

    // Puts text into the server selector's edit field as if it had been typed.
    void setServerText(const QString& text);

    // One refresh cycle: the query engine's request cycle, then the display (timer 1).
    void tick();
    // The display part of the cycle: working copy, views, fields, title.
    void refreshDisplay();

    // Ends the window as QDialog does, remembering the list and server shown for the next start.
    void done(int result) override;

    // While the game started from this window runs: no ticks and the "Connected to" title.
    void setGameRunning(bool running);

    const ServerEntry& workingCopy() const { return m_work; }
    const WindowServices& services() const { return m_services; }
    UiPrompt& prompt() const { return m_prompt; }

    // The remote console ("Rcon-Console ..."): a new one replaces an open one; selecting another
    // server destroys it.
    void openRconConsole();
    // The server browser ("Server List" > "Browser..."): opens it on the current list, or
    // brings the open one to the front. It lives until the monitor goes.
    BrowserWindow* openBrowser();
    // Shows a server of the list at listIndex as if chosen in the selectors (the list becomes
    // current first), and brings this window to the front.
    void showListServer(std::size_t listIndex, const ServerAddress& address);

    // The program's desktop notifications, for this window and those it opens (the browser's
    // watched players). Not owned; it must outlive the window. null: none.
    void setNotifier(Notifier* notifier);
    Notifier* notifier() const;

signals:
    // Before another server is selected (the remote console closes on it).
    void aboutToSelectServer();
    // After every refresh cycle.
    void ticked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenu();
    QAction* addCommand(QMenu* menu, const QString& text, int id);
    void updateTitle();
    void updateServerCommands();
    // The list and server of the last run, each when it still exists (else list 0, no server).
    void showLastSelection();

    WindowServices m_services;
    UiPrompt& m_prompt;

    ServerEntry m_work;
    bool m_minimized = false;
    bool m_gameRunning = false;

    QMenuBar* m_menuBar = nullptr;
    QWidget* m_form = nullptr;
    std::map<int, QAction*> m_commands;
    QTimer* m_timer = nullptr;

    EntryEditor* m_editor = nullptr;
    ServerDetailsView* m_view = nullptr;
    ListMenuCommands* m_listCommands = nullptr;
    std::unique_ptr<MonitorWindows> m_windows; // the console and the browser go first
};

} // namespace ondel
