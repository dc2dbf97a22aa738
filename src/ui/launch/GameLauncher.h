#pragma once

#include "ui/monitor/WindowServices.h"

#include <QObject>

#include <functional>

namespace ondel {

class Notifier;
class MonitorDialog;
class UiPrompt;

// The Connect command: the password question, the wait for a free slot, and the launch of the
// game client with the current server's address, password and the user's launch settings.
// While the game runs the query socket is closed and the monitor window is minimised, titled
// "Connected to", disabled and not refreshed (the event loop keeps painting it); afterwards the
// socket is created again on the same local port and the window restored. Through Steam, Steam
// is started on its own and the window stays as it is, querying on (Steam may only pass the
// request to a running Steam, so there is no game process to wait for). With ConnectionExit
// set the program is started on its own and the program ends at once with status 0.
// The services, the prompt and the monitor must outlive it. GUI thread only.
class GameLauncher : public QObject {
    Q_OBJECT
public:
    enum class Result {
        Declined,      // password question answered No, or the wait dialog cancelled
        NoDetails,     // message 107: the server has not answered yet
        Refused,       // the argument limits: nothing started
        StartFailed,   // "Can't execute '%s'!!!"
        Exited,        // ConnectionExit: the program ends
        GameEnded,     // the game ran and has ended (or the wait was given up at a quit)
        HandedToSteam, // started through Steam: nothing to wait for, the monitor goes on
    };

    GameLauncher(WindowServices services, UiPrompt& prompt, MonitorDialog& monitor);

    // The whole Connect flow.
    Result connectToServer();
    // Time stamp, save, arguments, start, and the wait (or the exit).
    Result launchGame();

    // How ConnectionExit ends the program; tests replace it. Default: the monitor window ends,
    // so start-up saves the lists and the process exits with status 0.
    void setExitFunction(std::function<void(int status)> exit) { m_exit = std::move(exit); }

    bool isGameRunning() const { return m_gameRunning; }

    // Where "a slot is free" is announced when the wait finds one (the user may be elsewhere
    // while a full server is watched). Not owned; null: not announced.
    void setNotifier(Notifier* notifier) { m_notifier = notifier; }

    // Enables "&Connect ..." (3) and "&Settings ..." (40003) in the monitor and connects them to
    // a launcher owned by the monitor, working with the monitor's services, prompt and notifier.
    // Returns that launcher.
    static GameLauncher* install(MonitorDialog& monitor);

signals:
    // The game client has been started (before the wait), and the wait has ended.
    void gameStarted();
    void gameEnded();

private:
    WindowServices m_services;
    UiPrompt& m_prompt;
    MonitorDialog& m_monitor;
    std::function<void(int)> m_exit;
    Notifier* m_notifier = nullptr;
    bool m_gameRunning = false;
};

} // namespace ondel
