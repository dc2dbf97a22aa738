#include "ui/launch/GameLauncher.h"
#include "../monitor/MonitorFixture.h"
#include "launch/LaunchPlan.h"
#include "notify/Notifier.h"
#include "serverlist/ListFiles.h"
#include "ui/launch/WaitForSlotDialog.h"
#include "ui/toolkit/StringTable.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>

using namespace ondel;
using namespace ondel::test;

namespace {

// A stand-in for the game client: records its arguments (NUL-separated), its working directory
// and the list file as it was when it started, then waits until the file "quit" appears.
const char* const kClientScript = R"(#!/bin/sh
dir=$(dirname "$0")
if [ -n "$ONDEL_TEST_LIST" ]; then cp "$ONDEL_TEST_LIST" "$dir/list-at-start"; fi
echo $$ > "$dir/pid"
pwd > "$dir/cwd"
printf '%s\0' "$@" > "$dir/args.tmp"
mv "$dir/args.tmp" "$dir/args"
while [ ! -e "$dir/quit" ]; do sleep 0.05; done
exit 3
)";

struct FakeNotifier : Notifier {
    void notify(const std::string& title, const std::string& body) override {
        shown.push_back(title + ": " + body);
    }
    std::vector<std::string> shown;
};

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class GameLauncherTest : public MonitorFixture {
protected:
    void SetUp() override {
        MonitorFixture::SetUp();
        ASSERT_TRUE(m_hlDir.isValid());
        qputenv("ONDEL_TEST_LIST", QByteArray::fromStdString(dataDir() + "serverlist.sl06"));
    }
    void TearDown() override {
        // A client still waiting ends (one started on its own is no child of ours: make sure).
        touch("quit");
        bool ok = false;
        const pid_t pid = readFile(hlFile("pid")).trimmed().toInt(&ok);
        if (ok && pid > 0 && !waitFor([pid] { return ::kill(pid, 0) != 0; }, 5000))
            ::kill(pid, SIGKILL);
        qunsetenv("ONDEL_TEST_LIST");
        MonitorFixture::TearDown();
    }

    void installClient() {
        const QString path = m_hlDir.path() + QStringLiteral("/") + clientProgramName();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kClientScript);
        f.close();
        ::chmod(QFile::encodeName(path).constData(), 0700);
    }
    void touch(const char* name) {
        QFile f(m_hlDir.path() + QStringLiteral("/") + QLatin1String(name));
        f.open(QIODevice::WriteOnly);
    }
    QString hlFile(const char* name) const {
        return m_hlDir.path() + QStringLiteral("/") + QLatin1String(name);
    }
    std::vector<std::string> clientArguments() const {
        std::vector<std::string> args;
        QByteArray all = readFile(hlFile("args"));
        qsizetype start = 0;
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (all[i] == '\0') {
                args.emplace_back(all.constData() + start, static_cast<std::size_t>(i - start));
                start = i + 1;
            }
        }
        return args;
    }

    void openWith(const LaunchSettings& settings) {
        openWindow();
        writeLaunchSettings(m_app->settings(), settings);
        m_launcher = m_dialog->findChild<GameLauncher*>();
        if (!m_launcher)
            m_launcher = GameLauncher::install(*m_dialog);
    }
    LaunchSettings settingsFor(const std::string& parameters, bool exitOnLaunch = false) const {
        return LaunchSettings{m_hlDir.path().toStdString(), parameters, exitOnLaunch ? 1 : 0};
    }
    bool showServer(const Hlsim& sim) {
        m_dialog->setServerText(sim.address());
        // The window's working copy follows at its next tick.
        return waitFor([&] { return m_app->engine().currentServer().infoValid; }) && waitTicks(1);
    }

    QTemporaryDir m_hlDir;
    GameLauncher* m_launcher = nullptr;
};

} // namespace

TEST_F(GameLauncherTest, StartsTheClientWithItsArgumentsAndWaitsForIt) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({"--mod", "--game-dir", "cstrike", "--password", "--name", "Launch"}));
    installClient();
    openWith(settingsFor("-console  \"+name my player\""));
    ASSERT_TRUE(showServer(sim));
    const int localPort = m_app->socket().localPort();
    ASSERT_NE(localPort, 0);
    m_prompt.dialogHandler = [](QDialog& d) { return d.exec(); }; // the real wait dialog

    // While the client runs: look at the window, then tell the client to end.
    struct Seen {
        bool running = false;
        bool enabled = true;
        bool minimized = false;
        bool socketOpen = true;
        bool ticking = true;
        QString title;
    } seen;
    QTimer watch;
    QDeadlineTimer deadline(15000);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QFile::exists(hlFile("args")) && !seen.running) {
            seen.running = m_launcher->isGameRunning();
            seen.enabled = m_dialog->isEnabled();
            seen.minimized = m_dialog->isMinimized();
            seen.socketOpen = m_app->socket().isOpen();
            seen.ticking = refreshTimer(*m_dialog)->isActive();
            seen.title = m_dialog->windowTitle();
            touch("quit");
        } else if (deadline.hasExpired()) {
            touch("quit");
        }
    });
    watch.start(20);
    bool ended = false;
    QObject::connect(m_launcher, &GameLauncher::gameEnded, [&] { ended = true; });
    m_dialog->commandAction(3)->trigger();
    watch.stop();

    // The password question came first (the server wants one, none is stored), answered Yes.
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text, loadString(108).value());
    EXPECT_EQ(m_prompt.messages[0].buttons, Prompt::Buttons::YesNo);
    EXPECT_TRUE(ended);

    const std::string address = "127.0.0.1:" + std::to_string(sim.port());
    EXPECT_EQ(clientArguments(),
              (std::vector<std::string>{"-game", "cstrike", "+connect", address, "+password", "",
                                        "-console", "+name my player"}));
    EXPECT_EQ(QString::fromUtf8(readFile(hlFile("cwd"))).trimmed(), QDir::currentPath());

    EXPECT_TRUE(seen.running);
    EXPECT_FALSE(seen.enabled);
    EXPECT_TRUE(seen.minimized);
    EXPECT_FALSE(seen.socketOpen);
    EXPECT_FALSE(seen.ticking);
    EXPECT_TRUE(seen.title.contains(QStringLiteral("Connected to"))) << seen.title.toStdString();

    // The list was saved with the new time stamp before the client started.
    const std::int64_t stamp = m_app->engine().currentServer().lastConnected;
    EXPECT_GT(stamp, 0);
    QTemporaryDir copyDir;
    const std::string copy = (copyDir.path() + QStringLiteral("/at-start.sl06")).toStdString();
    ASSERT_TRUE(QFile::copy(hlFile("list-at-start"), QString::fromStdString(copy)));
    ListFileRead atStart = readListFile(copy);
    ASSERT_EQ(atStart.status, ListFileStatus::Read);
    ASSERT_FALSE(atStart.contents.entries.empty());
    EXPECT_EQ(addressText(atStart.contents.entries[0].address), address);
    EXPECT_EQ(atStart.contents.entries[0].lastConnected, stamp);

    // Afterwards: the window is back and the socket answers on the same local port.
    EXPECT_TRUE(m_dialog->isEnabled());
    EXPECT_FALSE(m_dialog->isMinimized());
    EXPECT_FALSE(m_dialog->windowTitle().contains(QStringLiteral("Connected to")));
    EXPECT_TRUE(m_app->socket().isOpen());
    EXPECT_EQ(m_app->socket().localPort(), localPort);
    const auto before = m_app->engine().replyCounts().info;
    EXPECT_TRUE(waitFor([&] { return m_app->engine().replyCounts().info >= before + 2; }));
}

TEST_F(GameLauncherTest, PasswordQuestionAnsweredNoStopsEverything) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({"--password"}));
    installClient();
    openWith(settingsFor("-console"));
    ASSERT_TRUE(showServer(sim));
    m_prompt.answers = {Prompt::Answer::No};
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::Declined);
    EXPECT_EQ(m_prompt.dialogsRun, 0);
    EXPECT_EQ(m_app->engine().currentServer().lastConnected, 0);
    EXPECT_FALSE(QFile::exists(hlFile("args")));

    // A stored password: no question; the wait dialog cancelled stops too.
    ServerEntry e = m_app->engine().currentServer();
    e.password = "pw";
    m_app->engine().setCurrentServer(e);
    ASSERT_TRUE(waitTicks(1));
    m_prompt.messages.clear();
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Rejected); };
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::Declined);
    EXPECT_TRUE(m_prompt.messages.empty());
    EXPECT_EQ(m_prompt.dialogsRun, 1);
    EXPECT_EQ(m_app->engine().currentServer().lastConnected, 0);
}

TEST_F(GameLauncherTest, MissingClientSaysWhatToSetAndStampsNothing) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    openWith(settingsFor("-console")); // no client installed
    ASSERT_TRUE(showServer(sim));
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Accepted); };
    m_prompt.answers = {Prompt::Answer::No}; // not to the Settings now
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::StartFailed);
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].title, "Error");
    EXPECT_EQ(m_prompt.messages[0].icon, Prompt::Icon::Error);
    EXPECT_EQ(m_prompt.messages[0].buttons, Prompt::Buttons::YesNo);
    EXPECT_TRUE(m_prompt.messages[0].text.starts_with(
        "Can't execute '" + clientProgramPath(m_hlDir.path().toStdString()) + "'!!!"));
    EXPECT_NE(m_prompt.messages[0].text.find("Set the Half-Life folder in Settings"),
              std::string::npos);
    EXPECT_EQ(m_prompt.dialogsRun, 1); // the wait dialog only: no Settings
    EXPECT_TRUE(m_dialog->isEnabled());
    EXPECT_FALSE(m_dialog->isMinimized());
    EXPECT_TRUE(m_app->socket().isOpen());
    EXPECT_TRUE(refreshTimer(*m_dialog)->isActive());

    ListFileRead saved = readListFile(dataDir() + "serverlist.sl06");
    ASSERT_EQ(saved.status, ListFileStatus::Read);
    ASSERT_FALSE(saved.contents.entries.empty());
    EXPECT_EQ(saved.contents.entries[0].lastConnected, 0);
    EXPECT_EQ(m_app->engine().currentServer().lastConnected, 0);

    // Yes opens the Settings dialog.
    m_prompt.messages.clear();
    m_prompt.answers = {Prompt::Answer::Yes};
    m_prompt.dialogHandler = [](QDialog& d) {
        return int(d.windowTitle() == QStringLiteral("Settings") ? QDialog::Rejected
                                                                 : QDialog::Accepted);
    };
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::StartFailed);
    EXPECT_EQ(m_prompt.dialogsRun, 3); // the wait dialog, then the Settings
}

TEST_F(GameLauncherTest, NoDetailsGiveMessage107AndTheServerIsSavedWithoutTimeStamp) {
    installClient();
    openWith(settingsFor("-console"));
    m_dialog->setServerText(QStringLiteral("127.0.0.1:9")); // nobody answers there
    ASSERT_TRUE(waitTicks(1));
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Accepted); }; // "Connect"
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::NoDetails);
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text, "Cannot connect to server without server details.");
    EXPECT_EQ(m_prompt.messages[0].title, "Error");
    EXPECT_FALSE(QFile::exists(hlFile("args")));
    ListFileRead saved = readListFile(dataDir() + "serverlist.sl06");
    ASSERT_EQ(saved.status, ListFileStatus::Read);
    ASSERT_FALSE(saved.contents.entries.empty());
    EXPECT_EQ(addressText(saved.contents.entries[0].address), "127.0.0.1:9");
    EXPECT_EQ(saved.contents.entries[0].lastConnected, 0);
}

TEST_F(GameLauncherTest, ConnectionExitEndsTheProgramOnceTheClientHasStarted) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    installClient();
    openWith(settingsFor("-win", true));
    ASSERT_TRUE(showServer(sim));
    std::vector<int> exits;
    m_launcher->setExitFunction([&](int status) { exits.push_back(status); });
    FakeNotifier notifier;
    m_launcher->setNotifier(&notifier);
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Accepted); }; // "Connect"
    // Returns without waiting for the client, which is still running.
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::Exited);
    EXPECT_TRUE(notifier.shown.empty()); // only a slot found by waiting is announced
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_FALSE(m_launcher->isGameRunning());
    ASSERT_TRUE(waitFor([&] { return QFile::exists(hlFile("args")); }));
    EXPECT_EQ(
        clientArguments(),
        (std::vector<std::string>{"+connect", "127.0.0.1:" + std::to_string(sim.port()), "-win"}));
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(GameLauncherTest, TooManyArgumentsRefuseTheLaunch) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    installClient();
    std::string many;
    for (int i = 0; i < 70; ++i)
        many += " -x" + std::to_string(i);
    openWith(settingsFor(many));
    ASSERT_TRUE(showServer(sim));
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Accepted); };
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::Refused);
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].title, "Error");
    EXPECT_FALSE(QFile::exists(hlFile("args")));
    EXPECT_TRUE(m_app->socket().isOpen());
}

TEST_F(GameLauncherTest, AGameFolderWithCommandsNeverReachesTheGame) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({"--mod", "--game-dir", "valve +exec evil.cfg\x1b]0;t\x07"}));
    installClient();
    openWith(settingsFor("-console"));
    ASSERT_TRUE(showServer(sim));
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Accepted); };
    for (LaunchMethod method : {LaunchMethod::Direct, LaunchMethod::Steam}) {
        LaunchSettings settings = settingsFor("-console");
        settings.method = method;
        writeLaunchSettings(m_app->settings(), settings);
        m_prompt.messages.clear();
        m_dialog->commandAction(3)->trigger();
        ASSERT_EQ(m_prompt.messages.size(), 1u);
        EXPECT_EQ(m_prompt.messages[0].title, "Error");
        // The folder is named, with its controls made visible.
        EXPECT_NE(m_prompt.messages[0].text.find("valve +exec evil.cfg?]0;t?"), std::string::npos)
            << m_prompt.messages[0].text;
        EXPECT_FALSE(QFile::exists(hlFile("args")));
        EXPECT_FALSE(m_launcher->isGameRunning());
    }
}

TEST_F(GameLauncherTest, WaitDialogGoesOnByItselfWhenASlotIsFreed) {
    Hlsim full;
    // The scenario that hlsim ships: 8 of 8 players, one slot freed after a few seconds.
    const QString scenario = QStringLiteral(HLSIM_SCENARIOS "/fill-then-free.txt");
    ASSERT_TRUE(QFile::exists(scenario));
    ASSERT_TRUE(full.start({QStringLiteral("--scenario"), scenario}));
    openWith(settingsFor("-console"));
    ASSERT_TRUE(showServer(full));
    ASSERT_EQ(m_app->engine().currentServer().players, m_app->engine().currentServer().maxPlayers);

    QueryEngine& engine = m_app->engine();
    WaitForSlotDialog wait([&]() -> const ServerEntry& { return engine.currentServer(); },
                           m_app->clock(), m_dialog.get());
    QStringList playersSeen;
    wait.open();
    EXPECT_TRUE(waitFor(
        [&] {
            QString p = findControl<QLineEdit>(&wait, WaitForSlotDialog::kPlayersId)->text();
            if (playersSeen.isEmpty() || playersSeen.back() != p)
                playersSeen << p;
            return !wait.isVisible();
        },
        20000));
    EXPECT_EQ(wait.result(), QDialog::Accepted);
    EXPECT_TRUE(wait.slotFound());
    EXPECT_TRUE(playersSeen.contains(QStringLiteral("8/8")));
    EXPECT_LT(engine.currentServer().players, engine.currentServer().maxPlayers);
}

TEST_F(GameLauncherTest, ASlotFoundByWaitingIsAnnouncedBeforeTheStart) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({"--name", "Free <b>slot</b>"}));
    installClient();
    openWith(settingsFor("-console", true));
    ASSERT_TRUE(showServer(sim));
    FakeNotifier notifier;
    m_launcher->setNotifier(&notifier);
    m_launcher->setExitFunction([](int) {});
    m_prompt.dialogHandler = [](QDialog& d) { return d.exec(); }; // free at its first refresh
    EXPECT_EQ(m_launcher->connectToServer(), GameLauncher::Result::Exited);
    EXPECT_EQ(notifier.shown,
              std::vector<std::string>{"A slot is free: Free <b>slot</b> (127.0.0.1:" +
                                       std::to_string(sim.port()) + "): connecting"});
    ASSERT_TRUE(waitFor([&] { return QFile::exists(hlFile("args")); }));
}

TEST_F(GameLauncherTest, WaitDialogStaysWhileOnlyReservedSlotsAreFree) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({"--players", "14", "--max-players", "16"}));
    openWith(settingsFor("-console"));
    ASSERT_TRUE(showServer(sim));
    ServerEntry e = m_app->engine().currentServer();
    e.reservedSlots = 2;
    m_app->engine().setCurrentServer(e);

    QueryEngine& engine = m_app->engine();
    WaitForSlotDialog wait([&]() -> const ServerEntry& { return engine.currentServer(); },
                           m_app->clock(), m_dialog.get());
    const auto before = engine.replyCounts().info;
    wait.open();
    // Three more answers of the server have been seen by the dialog: it must still wait.
    EXPECT_TRUE(waitFor([&] { return engine.replyCounts().info >= before + 3; }, 20000));
    EXPECT_TRUE(wait.isVisible());
    EXPECT_EQ(findControl<QLineEdit>(&wait, WaitForSlotDialog::kReservedId)->text(), "2");
    findControl<QPushButton>(&wait, 2)->click();
    EXPECT_EQ(wait.result(), QDialog::Rejected);
}

TEST_F(GameLauncherTest, ThroughSteamStartsSteamFromPathAndTheMonitorGoesOn) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({"--mod", "--game-dir", "tfc", "--password"}));
    // The stand-in records its arguments and exits at once, as Steam does when it hands the
    // start to a Steam that is already running.
    const QString steam = hlFile("steam");
    {
        QFile f(steam);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\ndir=$(dirname \"$0\")\nprintf '%s\\0' \"$@\" > \"$dir/args.tmp\"\n"
                "mv \"$dir/args.tmp\" \"$dir/args\"\n");
    }
    ::chmod(QFile::encodeName(steam).constData(), 0700);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_hlDir.path()) + ":" + path);
    LaunchSettings settings = settingsFor("-console");
    settings.method = LaunchMethod::Steam;
    openWith(settings);
    ASSERT_TRUE(showServer(sim));
    ServerEntry e = m_app->engine().currentServer();
    e.password = "pw";
    m_app->engine().setCurrentServer(e);
    ASSERT_TRUE(waitTicks(1));
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Accepted); };

    const GameLauncher::Result result = m_launcher->connectToServer();
    qputenv("PATH", path);
    EXPECT_EQ(result, GameLauncher::Result::HandedToSteam);
    ASSERT_TRUE(waitFor([&] { return QFile::exists(hlFile("args")); }));
    const std::string address = "127.0.0.1:" + std::to_string(sim.port());
    EXPECT_EQ(clientArguments(), (std::vector<std::string>{"-applaunch", "20", "+connect", address,
                                                           "+password", "pw", "-console"}));
    EXPECT_TRUE(m_prompt.messages.empty());
    // Nothing waits for Steam: the window is usable and goes on querying the server.
    EXPECT_FALSE(m_launcher->isGameRunning());
    EXPECT_TRUE(m_dialog->isEnabled());
    EXPECT_FALSE(m_dialog->isMinimized());
    EXPECT_TRUE(m_app->socket().isOpen());
    const auto before = m_app->engine().replyCounts().info;
    EXPECT_TRUE(waitFor([&] { return m_app->engine().replyCounts().info >= before + 2; }));
    // The rest of the connect flow holds: the time stamp is in the saved list.
    ListFileRead saved = readListFile(dataDir() + "serverlist.sl06");
    ASSERT_EQ(saved.status, ListFileStatus::Read);
    ASSERT_FALSE(saved.contents.entries.empty());
    EXPECT_EQ(addressText(saved.contents.entries[0].address), address);
    EXPECT_EQ(saved.contents.entries[0].lastConnected,
              m_app->engine().currentServer().lastConnected);
    EXPECT_NE(saved.contents.entries[0].lastConnected, 0);
}
