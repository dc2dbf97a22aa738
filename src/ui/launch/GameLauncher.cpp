#include "GameLauncher.h"

#include "LaunchSettingsDialog.h"
#include "WaitForSlotDialog.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "launch/LaunchPlan.h"
#include "notify/Notifier.h"
#include "query/QueryEngine.h"
#include "query/SocketControl.h"
#include "serverlist/ListFiles.h"
#include "serverlist/ServerListSet.h"
#include "ui/monitor/MonitorDialog.h"
#include "ui/toolkit/StringTable.h"
#include "ui/toolkit/UiPrompt.h"

#include <QAction>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>

namespace ondel {

namespace {
constexpr int kConnectCommand = 3;
constexpr int kSettingsCommand = 40003;
constexpr int kPasswordQuestion = 108;
constexpr int kNoDetailsMessage = 107;
constexpr int kProgramNameString = 106;

QStringList toQt(const std::vector<std::string>& words) {
    QStringList list;
    for (const std::string& w : words)
        list << QString::fromStdString(w);
    return list;
}
// The game could not be started: says what to set and offers the Settings dialog (the monitor's
// Settings command, when it is wired).
void offerSettings(UiPrompt& prompt, MonitorDialog& monitor, const std::string& program,
                   LaunchMethod method) {
    const std::string hint =
        method == LaunchMethod::Steam
            ? "Check in Settings that the Steam command is right and Steam is installed."
            : "Set the Half-Life folder in Settings, or choose there to start the game through "
              "Steam.";
    const std::string text = text::format("Can't execute '%s'!!!", program.c_str()) + "\r\n\r\n" +
                             hint + "\r\n\r\nOpen the Settings now?";
    if (prompt.message("Error", text, Prompt::Buttons::YesNo, Prompt::Icon::Error) !=
        Prompt::Answer::Yes)
        return;
    if (QAction* settings = monitor.commandAction(kSettingsCommand);
        settings != nullptr && settings->isEnabled())
        settings->trigger();
}

} // namespace

GameLauncher::GameLauncher(WindowServices services, UiPrompt& prompt, MonitorDialog& monitor)
    : QObject(&monitor), m_services(std::move(services)), m_prompt(prompt), m_monitor(monitor),
      m_exit([this](int status) { m_monitor.done(status); }) {}

GameLauncher::Result GameLauncher::connectToServer() {
    if (m_gameRunning)
        return Result::Declined;
    const ServerEntry& shown = m_monitor.workingCopy();
    if (shown.passwordRequired && shown.password.empty()) {
        Prompt::Answer answer = m_prompt.message(loadString(kProgramNameString).value_or("Ondel"),
                                                 loadString(kPasswordQuestion).value_or(""),
                                                 Prompt::Buttons::YesNo, Prompt::Icon::Question);
        if (answer != Prompt::Answer::Yes)
            return Result::Declined;
    }
    QueryEngine& engine = m_services.engine;
    WaitForSlotDialog wait([&engine]() -> const ServerEntry& { return engine.currentServer(); },
                           m_services.clock, &m_monitor);
    if (m_prompt.execDialog(wait) != QDialog::Accepted)
        return Result::Declined;
    if (wait.slotFound() && m_notifier) {
        const ServerEntry& server = engine.currentServer();
        // Server text, shortened: it may be anything up to a datagram's length.
        const std::string name = text::cutUtf8(text::toDisplayUtf8(server.hostName), 100);
        m_notifier->notify("A slot is free",
                           name + " (" + addressText(server.address) + "): connecting");
    }

    // Through Steam the window cannot follow the game (see launchGame): it stays as it is.
    if (readLaunchSettings(m_services.settings).method == LaunchMethod::Steam)
        return launchGame();
    m_monitor.setGameRunning(true);
    m_monitor.showMinimized();
    Result result = launchGame();
    if (result == Result::Exited)
        return result;
    m_monitor.setGameRunning(false);
    m_monitor.showNormal();
    return result;
}

GameLauncher::Result GameLauncher::launchGame() {
    QueryEngine& engine = m_services.engine;
    // The server goes into the list and the lists are saved first, also when the launch is
    // refused below; the time stamp only once the game has started.
    ServerEntry server = engine.currentServer();
    auto keep = [this, &engine, &server](bool started) {
        if (started) {
            server = engine.currentServer();
            server.lastConnected = m_services.clock.nowMs1601();
            engine.setCurrentServer(server);
        }
        // Without a server there is nothing worth keeping: a blank entry would only clutter
        // the list.
        if (!m_services.lists.empty() && !server.address.empty()) {
            m_services.lists.current().storeEntry(server);
            saveAll(m_services.lists);
        }
    };
    keep(false);

    if (!server.infoValid) {
        m_prompt.message("Error", loadString(kNoDetailsMessage).value_or(""), Prompt::Buttons::Ok,
                         Prompt::Icon::Error);
        return Result::NoDetails;
    }
    const LaunchSettings settings = readLaunchSettings(m_services.settings);
    const LaunchPlan plan = buildLaunchPlan(server, settings);
    if (!plan.ok()) {
        m_prompt.showError(plan.error);
        return Result::Refused;
    }
    const QString program = QString::fromStdString(plan.program);

    // Steam hands -applaunch to a Steam that is already running and returns at once, or, when
    // none runs, becomes that Steam and runs for hours: either way its process says nothing
    // about the game. So through Steam nothing waits; the monitor keeps querying the server.
    const bool throughSteam = settings.method == LaunchMethod::Steam;
    if (settings.connectionExit || throughSteam) {
        // Started on its own, not as a child that would be ended with us (the client must
        // outlive this program). It inherits the environment and the current directory.
        if (!QProcess::startDetached(program, toQt(plan.arguments))) {
            offerSettings(m_prompt, m_monitor, plan.program, settings.method);
            return Result::StartFailed;
        }
        keep(true);
        emit gameStarted();
        if (!settings.connectionExit)
            return Result::HandedToSteam;
        m_exit(0);
        return Result::Exited;
    }

    auto* process = new QProcess(this);
    process->setProgram(program);
    process->setArguments(toQt(plan.arguments));
    // Like a console program started from here: our terminal, environment and directory.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setInputChannelMode(QProcess::ForwardedInputChannel);
    process->start();
    if (!process->waitForStarted(-1)) {
        delete process;
        offerSettings(m_prompt, m_monitor, plan.program, settings.method);
        return Result::StartFailed;
    }
    keep(true);
    m_gameRunning = true;
    emit gameStarted();

    // While the game runs: no socket, no queries, no commands. The loop still paints.
    m_services.socket.close();
    m_monitor.setEnabled(false);
    {
        QEventLoop wait;
        connect(process, &QProcess::finished, &wait, &QEventLoop::quit);
        connect(process, &QProcess::errorOccurred, &wait, [&wait, process] {
            if (process->state() == QProcess::NotRunning)
                wait.quit();
        });
        if (process->state() != QProcess::NotRunning)
            wait.exec();
    }
    if (process->state() == QProcess::NotRunning) {
        delete process;
    } else {
        // The wait was given up because the program is ending: the game is left running
        // (deleting the QProcess would end it).
        process->setParent(nullptr);
    }
    m_monitor.setEnabled(true);
    m_services.socket.reopen();
    m_gameRunning = false;
    emit gameEnded();
    return Result::GameEnded;
}

GameLauncher* GameLauncher::install(MonitorDialog& monitor) {
    auto* launcher = new GameLauncher(monitor.services(), monitor.prompt(), monitor);
    launcher->setNotifier(monitor.notifier());
    if (QAction* connectAction = monitor.commandAction(kConnectCommand)) {
        connectAction->setEnabled(true);
        connect(connectAction, &QAction::triggered, launcher,
                [launcher] { launcher->connectToServer(); });
    }
    if (QAction* settingsAction = monitor.commandAction(kSettingsCommand)) {
        settingsAction->setEnabled(true);
        connect(settingsAction, &QAction::triggered, launcher, [&monitor] {
            LaunchSettingsDialog dialog(monitor.services().settings, monitor.prompt(), &monitor);
            monitor.prompt().execDialog(dialog);
        });
    }
    return launcher;
}

} // namespace ondel
