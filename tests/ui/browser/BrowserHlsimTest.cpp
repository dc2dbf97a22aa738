// The browser against 1,000 hlsim servers on loopback, through the program's own scan and socket.
#include "../monitor/MonitorFixture.h"
#include "../toolkit/WindowInput.h"
#include "history/HistoryStore.h"
#include "notify/Notifier.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/browser/BrowserModel.h"
#include "ui/browser/BrowserProxyModel.h"
#include "ui/browser/BrowserWindow.h"
#include "ui/browser/ServerDetailsPane.h"
#include "ui/browser/WatchListDialog.h"
#include "ui/history/HistoryView.h"
#include "ui/monitor/PlayersTrayIcon.h"
#include "ui/toolkit/ColorListCtrl.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <cmath>

namespace ondel::test {
namespace {

class BrowserHlsimTest : public MonitorFixture {
protected:
    // The monitor over a list of the loopback servers on ports, and its browser once a refresh
    // of them has ended (nullptr when it did not within timeoutMs).
    BrowserWindow* browseRefreshed(const std::vector<int>& ports, int timeoutMs) {
        openWindow([&](Application& app) {
            for (int port : ports) {
                ServerEntry e;
                e.address = {"127.0.0.1", port};
                app.lists().current().entries().push_back(e);
            }
        });
        BrowserWindow* browser = m_dialog->openBrowser();
        QSignalSpy finished(browser, &BrowserWindow::refreshFinished);
        browser->refresh();
        return waitFor([&] { return finished.count() == 1; }, timeoutMs) ? browser : nullptr;
    }
};

// hlsim serving count servers; the ports it listens on.
std::vector<int> startServers(QProcess& process, int count, const QStringList& extra) {
    process.setProgram(QStringLiteral(HLSIM_PATH));
    process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                     QStringLiteral("--count"), QString::number(count)} +
                         extra);
    process.start();
    std::vector<int> ports;
    static const QRegularExpression re(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray out;
    waitFor(
        [&] {
            process.waitForReadyRead(100);
            out += process.readAllStandardOutput();
            ports.clear();
            for (auto it = re.globalMatch(QString::fromLatin1(out)); it.hasNext();)
                ports.push_back(it.next().captured(1).toInt());
            return static_cast<int>(ports.size()) >= count ||
                   process.state() == QProcess::NotRunning;
        },
        15000);
    return ports;
}

TEST_F(BrowserHlsimTest, RefreshReadsEveryLiveServerAndFillsTheList) {
    // A tenth of the servers never answer (every tenth port); the rest must all be read.
    constexpr int kServers = 1000;
    constexpr int kLive = 900;
    QProcess hlsim;
    const std::vector<int> ports = startServers(
        hlsim, kServers,
        {QStringLiteral("--name"), QStringLiteral("Ondel <b>Arena</b>"), QStringLiteral("--map"),
         QStringLiteral("de_dust2"), QStringLiteral("--game-desc"),
         QStringLiteral("Counter-Strike"), QStringLiteral("--players"), QStringLiteral("9"),
         QStringLiteral("--bots"), QStringLiteral("3"), QStringLiteral("--max-players"),
         QStringLiteral("20"), QStringLiteral("--dialect"), QStringLiteral("both"),
         QStringLiteral("--dead-share"), QStringLiteral("0.1"), QStringLiteral("--seed"),
         QStringLiteral("7"), QStringLiteral("--quiet")});
    ASSERT_EQ(static_cast<int>(ports.size()), kServers);
    BrowserWindow* browser = browseRefreshed(ports, 60000);
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(namedChild<QProgressBar>(browser, BrowserRefresh::kRefreshProgress)->value(),
              kServers);

    int up = 0;
    for (const BrowserRow& row : browser->model().rows())
        up += row.state == BrowserRow::State::Up ? 1 : 0;
    EXPECT_EQ(up, kLive);
    const ServerList& list = m_app->lists().current();
    ASSERT_EQ(list.size(), static_cast<std::size_t>(kServers));
    int read = 0;
    for (const ServerEntry& e : list.entries()) {
        if (e.map.empty())
            continue;
        ++read;
        EXPECT_EQ(e.map, "de_dust2");
        EXPECT_TRUE(QString::fromStdString(e.hostName).startsWith(QStringLiteral("Ondel <b>")));
    }
    EXPECT_EQ(read, kLive);

    // The picture of the README: sorted by ping.
    browser->resize(1000, 620);
    namedChild<QTableView>(browser, BrowserWindow::kServerTable)
        ->sortByColumn(static_cast<int>(BrowserColumn::Ping), Qt::AscendingOrder);
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(browser->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/browser.png")));
    hlsim.terminate();
    hlsim.waitForFinished(5000);
}

struct FakeNotifier : Notifier {
    void notify(const std::string& title, const std::string& body) override {
        shown.push_back(title + ": " + body);
    }
    std::vector<std::string> shown;
};

// A watched player on one server of the list is announced once, by the name the server uses;
// an unwatched player and servers without watched players are not; a second refresh with the
// player still there says nothing new. The monitor's tray icon shows that server's players.
TEST_F(BrowserHlsimTest, WatchedPlayerIsAnnouncedOnceAndTheTrayShowsTheServer) {
    const QString scenario = m_dir.path() + QStringLiteral("/watch.txt");
    {
        QFile file(scenario);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("set name \"Watch <b>Arena</b>\"\njoin Gordon 3\njoin Barney 1\n");
    }
    Hlsim watched;
    ASSERT_TRUE(
        watched.start({QStringLiteral("--scenario"), scenario, QStringLiteral("--max-players"),
                       QStringLiteral("8"), QStringLiteral("--dialect"), QStringLiteral("both")}));
    QProcess others;
    const std::vector<int> ports =
        startServers(others, 3,
                     {QStringLiteral("--players"), QStringLiteral("6"), QStringLiteral("--seed"),
                      QStringLiteral("3"), QStringLiteral("--quiet")});
    ASSERT_EQ(ports.size(), 3u);
    openWindow([&](Application& app) {
        for (int port : {ports[0], watched.port(), ports[1], ports[2]}) {
            ServerEntry e;
            e.address = {"127.0.0.1", port};
            app.lists().current().entries().push_back(e);
        }
    });
    FakeNotifier notifier;
    m_dialog->setNotifier(&notifier);
    BrowserWindow* browser = m_dialog->openBrowser();
    browser->setWatchedPlayers({"GORDON", " Alyx ", "gordon", ""});
    EXPECT_EQ(settings::read(m_app->settings(), settings::kWatchedPlayers), "GORDON\nAlyx");

    QSignalSpy finished(browser, &BrowserWindow::refreshFinished);
    const std::string expected = "Watched player online: Gordon joined Watch <b>Arena</b> (" +
                                 watched.address().toStdString() + ")";
    for (int round = 1; round <= 2; ++round) {
        browser->refresh();
        ASSERT_TRUE(waitFor([&] { return finished.count() == round; }, 30000));
        EXPECT_EQ(notifier.shown, std::vector<std::string>{expected}) << "refresh " << round;
    }

    // The dialog shows the list, and again after it was cancelled.
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    for (int round = 1; round <= 2; ++round) {
        auto drive = input::whenShown<WatchListDialog>([](WatchListDialog& dialog) {
            EXPECT_EQ(dialog.editor()->toPlainText(), QStringLiteral("GORDON\nAlyx"));
            dialog.resize(420, 240);
            EXPECT_TRUE(dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/watch-list.png")));
            dialog.reject();
        });
        browser->editWatchList();
    }
    EXPECT_EQ(settings::read(m_app->settings(), settings::kWatchedPlayers), "GORDON\nAlyx");

    EXPECT_FALSE(m_dialog->windowIcon().isNull()); // the program's icons are linked in
    auto* tray = m_dialog->findChild<PlayersTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    QAction* command = m_dialog->commandAction(MonitorDialog::kTrayIconCommand);
    ASSERT_NE(command, nullptr);
    ASSERT_TRUE(command->isEnabled());
    command->trigger(); // on; without a system tray (offscreen) nothing is shown
    EXPECT_TRUE(tray->isEnabled());
    EXPECT_EQ(settings::read(m_app->settings(), settings::kTrayIcon), 1);
    m_dialog->setServerText(watched.address());
    ASSERT_TRUE(waitFor([&] { return tray->toolTip().contains(QStringLiteral("2/8")); }));
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Ondel: 2/8 players\nWatch <b>Arena</b>"));
    EXPECT_FALSE(Qt::mightBeRichText(tray->toolTip()));

    browser->resize(1000, 300);
    QApplication::processEvents();
    EXPECT_TRUE(browser->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/browser-watch.png")));
    EXPECT_TRUE(tray->icon().pixmap(64, 64).save(QStringLiteral(ONDEL_TEST_OUTPUT "/tray-64.png")));
    EXPECT_TRUE(tray->icon().pixmap(22, 22).save(QStringLiteral(ONDEL_TEST_OUTPUT "/tray-22.png")));
    command->trigger();
    EXPECT_EQ(settings::read(m_app->settings(), settings::kTrayIcon), 0);
    others.terminate();
    others.waitForFinished(5000);
}

// The details pane follows the selected server live through the program's own socket: its
// players and rules arrive from hlsim although the list knew nothing of them.
TEST_F(BrowserHlsimTest, SelectedRowIsShownLiveInTheDetailsPane) {
    const QString scenario = m_dir.path() + QStringLiteral("/pane.txt");
    {
        QFile file(scenario);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("set name \"Pane <b>Arena</b> #2\"\njoin Gordon 3\njoin Alyx 7\n");
    }
    Hlsim shown;
    ASSERT_TRUE(shown.start({QStringLiteral("--scenario"), scenario, QStringLiteral("--map"),
                             QStringLiteral("c1a0"), QStringLiteral("--max-players"),
                             QStringLiteral("12")}));
    Hlsim other;
    ASSERT_TRUE(other.start({QStringLiteral("--name"), QStringLiteral("Pane Arena #11")}));
    BrowserWindow* browser = browseRefreshed({shown.port(), other.port()}, 30000);
    ASSERT_NE(browser, nullptr);
    auto* table = namedChild<QTableView>(browser, BrowserWindow::kServerTable);
    table->sortByColumn(static_cast<int>(BrowserColumn::Name), Qt::AscendingOrder);
    ASSERT_EQ(browser->proxy().index(0, 0).data().toString(),
              QStringLiteral("Pane <b>Arena</b> #2"));
    table->selectRow(0);

    auto* pane = namedChild<ServerDetailsPane>(browser, ServerDetailsPane::kObjectName);
    ASSERT_NE(pane, nullptr);
    ASSERT_TRUE(pane->isWatching());
    ASSERT_TRUE(waitFor(
        [&] { return pane->playersView()->rowCount() == 2 && pane->rulesView()->rowCount() > 3; }));
    EXPECT_EQ(pane->field(QStringLiteral("Map"))->text(), QStringLiteral("c1a0"));
    EXPECT_EQ(pane->field(QStringLiteral("Players"))->text().left(4), QStringLiteral("2/12"));
    QStringList names;
    for (int r = 0; r < pane->playersView()->rowCount(); ++r)
        names << pane->playersView()->itemText(r, 2);
    names.sort();
    EXPECT_EQ(names, (QStringList{"Alyx", "Gordon"}));

    // Another row: the pane follows it.
    table->selectRow(1);
    ASSERT_TRUE(waitFor([&] {
        return pane->field(QStringLiteral("Name"))->text() == QStringLiteral("Pane Arena #11");
    }));

    // The pane's graph reads the program's own history store; a made-up day of the shown server
    // makes the picture.
    HistoryStore* history = m_app->history();
    ASSERT_NE(history, nullptr);
    const std::string key = "127.0.0.1:" + std::to_string(shown.port());
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    std::vector<HistorySample> day;
    const char* maps[] = {"crossfire", "c1a0", "datacore", "stalkyard"};
    for (int minute = 24 * 60; minute > 2; minute -= 2) {
        const double hour = (24 * 60 - minute) / 60.0;
        const bool up = hour < 9 || hour > 9.5; // a restart that took half an hour
        const int players =
            static_cast<int>(6 + 5 * std::sin(hour / 24 * 2 * M_PI) + std::sin(hour * 2.5));
        day.push_back({key, now - minute * 60'000LL, up, up ? players : 0, 0, 12,
                       up ? maps[static_cast<int>(hour / 5) % 4] : "", up ? 30 + minute % 7 : -1});
    }
    history->record(day);
    history->flush();
    table->selectRow(0);
    auto* graph = browser->findChild<HistoryView*>();
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->server(), key);
    browser->resize(1200, 800);
    ASSERT_TRUE(waitFor([&] { return pane->playersView()->rowCount() == 2; }));
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(browser->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/browser-details.png")));
}

} // namespace
} // namespace ondel::test
