// The browser against 300 hlsim servers on loopback, through the program's own scan.
#include "../monitor/MonitorFixture.h"
#include "serverlist/ServerListSet.h"
#include "ui/browser/BrowserModel.h"
#include "ui/browser/BrowserProxyModel.h"
#include "ui/browser/BrowserWindow.h"

#include <QDir>
#include <QHeaderView>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace ondel::test {
namespace {

class BrowserHlsimTest : public MonitorFixture {};

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
    QDeadlineTimer deadline(15000);
    while (static_cast<int>(ports.size()) < count && !deadline.hasExpired() &&
           process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
        ports.clear();
        for (auto it = re.globalMatch(QString::fromLatin1(out)); it.hasNext();)
            ports.push_back(it.next().captured(1).toInt());
    }
    return ports;
}

TEST_F(BrowserHlsimTest, RefreshReadsEveryServerAndFillsTheList) {
    constexpr int kServers = 300;
    QProcess hlsim;
    const std::vector<int> ports = startServers(
        hlsim, kServers,
        {QStringLiteral("--name"), QStringLiteral("Ondel <b>Arena</b>"), QStringLiteral("--map"),
         QStringLiteral("de_dust2"), QStringLiteral("--game-desc"),
         QStringLiteral("Counter-Strike"), QStringLiteral("--players"), QStringLiteral("9"),
         QStringLiteral("--bots"), QStringLiteral("3"), QStringLiteral("--max-players"),
         QStringLiteral("20"), QStringLiteral("--dialect"), QStringLiteral("both"),
         QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--quiet")});
    ASSERT_EQ(static_cast<int>(ports.size()), kServers);
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
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }, 60000));
    EXPECT_EQ(browser->progressBar()->value(), kServers);

    int up = 0;
    for (const BrowserRow& row : browser->model().rows())
        up += row.state == BrowserRow::State::Up ? 1 : 0;
    EXPECT_EQ(up, kServers);
    const ServerList& list = m_app->lists().current();
    ASSERT_EQ(list.size(), static_cast<std::size_t>(kServers));
    for (const ServerEntry& e : list.entries()) {
        EXPECT_EQ(e.map, "de_dust2");
        EXPECT_TRUE(QString::fromStdString(e.hostName).startsWith(QStringLiteral("Ondel <b>")));
    }

    // The picture of the README: sorted by ping.
    browser->resize(1000, 620);
    browser->table()->sortByColumn(static_cast<int>(BrowserColumn::Ping), Qt::AscendingOrder);
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(browser->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/browser.png")));
    hlsim.terminate();
    hlsim.waitForFinished(5000);
}

} // namespace
} // namespace ondel::test
