#include "ui/browser/BrowserWindow.h"
#include "../../core/fakes/FakeSettingsStore.h"
#include "../monitor/MonitorFixture.h"
#include "FakeScans.h"
#include "browser/ScanService.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/browser/BrowserModel.h"
#include "ui/browser/BrowserProxyModel.h"
#include "ui/monitor/ServerSelector.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace ondel::test {
namespace {

ServerEntry entry(const std::string& host, const std::string& name, int players, int maxPlayers,
                  const std::string& map = "crossfire") {
    ServerEntry e;
    e.address = {host, 27015};
    e.hostName = name;
    e.map = map;
    e.infoValid = true;
    e.players = static_cast<std::uint8_t>(players);
    e.maxPlayers = static_cast<std::uint8_t>(maxPlayers);
    return e;
}

ScanResult up(const ServerAddress& address, const std::string& name, int players) {
    ScanResult r;
    r.address = address;
    r.status = ScanResult::Status::Up;
    r.pingMs = 12;
    r.dialect = QueryDialect::Legacy;
    r.entry = entry(address.host, name, players, 16, "de_dust2");
    return r;
}

QStringList column(const BrowserWindow& w, BrowserColumn c) {
    QStringList out;
    for (int r = 0; r < w.proxy().rowCount(); ++r)
        out << w.proxy().index(r, static_cast<int>(c)).data().toString();
    return out;
}

// A browser over its own lists, settings and scans.
class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServerList custom("/tmp/none/serverlist.sl06", "serverlist.sl06", "Custom server list");
        // Stored order: most recently stored first.
        for (ServerEntry e :
             {entry("10.0.0.1", "Alpha <b>bold</b>", 10, 16),
              entry("9.0.0.1", "beta", 9, 16, "de_dust2"), entry("10.0.0.3", "Gamma full", 16, 16),
              entry("10.0.0.4", "Delta", 0, 16)})
            custom.entries().push_back(e);
        custom.entries()[1].passwordRequired = 1;
        lists.append(std::move(custom));
        lists.append(ServerList("/tmp/none/clan.sl06", "clan.sl06", "Clan"));
    }
    void open() {
        window = std::make_unique<BrowserWindow>(lists, settings, scans, prompt, actions);
    }

    ServerListSet lists;
    FakeSettingsStore settings;
    FakeScans scans;
    FakeUiPrompt prompt;
    BrowserWindow::Actions actions;
    std::unique_ptr<BrowserWindow> window;
};

TEST_F(BrowserTest, FiltersHideRowsAndTheStatusCountsThem) {
    open();
    EXPECT_EQ(window->proxy().rowCount(), 4);
    typeKeys(window->filterEdit(), QStringLiteral("DUST"));
    EXPECT_EQ(column(*window, BrowserColumn::Name), QStringList{QStringLiteral("beta")});
    window->filterEdit()->clear();
    typeKeys(window->filterEdit(), QStringLiteral("10.0.0."));
    EXPECT_EQ(window->proxy().rowCount(), 3);
    window->filterEdit()->clear();

    window->hideEmptyBox()->setChecked(true);
    window->hideFullBox()->setChecked(true);
    window->hidePasswordBox()->setChecked(true);
    EXPECT_EQ(column(*window, BrowserColumn::Name),
              QStringList{QStringLiteral("Alpha <b>bold</b>")});
    EXPECT_EQ(window->statusLabel()->text(), QStringLiteral("1 of 4 servers shown"));
    window->hideFullBox()->setChecked(false);
    EXPECT_EQ(window->proxy().rowCount(), 2);
}

TEST_F(BrowserTest, HeaderClicksSortNumericColumnsAsNumbers) {
    open();
    window->show();
    QHeaderView* header = window->table()->horizontalHeader();
    auto clickHeader = [&](BrowserColumn c) {
        const int section = static_cast<int>(c);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(section) + 5, 5));
    };
    clickHeader(BrowserColumn::Address);
    const QStringList ascending{QStringLiteral("9.0.0.1:27015"), QStringLiteral("10.0.0.1:27015"),
                                QStringLiteral("10.0.0.3:27015"), QStringLiteral("10.0.0.4:27015")};
    EXPECT_EQ(column(*window, BrowserColumn::Address), ascending);
    clickHeader(BrowserColumn::Players);
    EXPECT_EQ(column(*window, BrowserColumn::Players),
              (QStringList{"0/16", "9/16", "10/16", "16/16"}));
    clickHeader(BrowserColumn::Players);
    EXPECT_EQ(column(*window, BrowserColumn::Players).first(), QStringLiteral("16/16"));
    // The password column sorts by the lock and shows it.
    clickHeader(BrowserColumn::Password);
    clickHeader(BrowserColumn::Password);
    const QModelIndex lock = window->proxy().index(0, static_cast<int>(BrowserColumn::Password));
    EXPECT_EQ(window->proxy().index(0, 0).data().toString(), QStringLiteral("beta"));
    EXPECT_FALSE(lock.data(Qt::DecorationRole).value<QIcon>().isNull());
}

TEST_F(BrowserTest, RefreshShowsProgressAndPutsResultsIntoTheList) {
    lists.at(0).entries().push_back(lists.at(0).entries()[0]); // the same server twice
    open();
    QSignalSpy finished(window.get(), &BrowserWindow::refreshFinished);
    window->refreshAction()->trigger();
    ASSERT_EQ(scans.started.size(), 1u);
    EXPECT_EQ(scans.started[0].size(), 4u); // asked once
    EXPECT_EQ(window->progressBar()->maximum(), 4);

    scans.report(up({"10.0.0.4", 27015}, "Delta fresh", 7));
    ScanResult timeout;
    timeout.address = {"10.0.0.3", 27015};
    scans.report(timeout);
    // Results reach the table and the list in batches, not one by one.
    EXPECT_EQ(window->progressBar()->value(), 0);
    ASSERT_TRUE(waitFor([&] { return window->progressBar()->value() == 2; }));
    const ServerList& list = lists.at(0);
    EXPECT_EQ(list.entries()[3].hostName, "Delta fresh");
    EXPECT_EQ(list.entries()[3].players, 7);
    EXPECT_EQ(list.entries()[2].hostName, "Gamma full"); // a timeout keeps what was known
    const int delta = window->model().indexOf({"10.0.0.4", 27015});
    const int gamma = window->model().indexOf({"10.0.0.3", 27015});
    EXPECT_EQ(window->model().index(delta, 0).data().toString(), QStringLiteral("Delta fresh"));
    EXPECT_EQ(window->model().index(gamma, static_cast<int>(BrowserColumn::Ping)).data(),
              QStringLiteral("Timeout"));
    EXPECT_TRUE(window->isRefreshing());
    EXPECT_EQ(finished.count(), 0);

    scans.finish();
    EXPECT_FALSE(window->isRefreshing());
    EXPECT_EQ(finished.count(), 1);

    // Find player: the server whose players hold the text.
    ScanResult withPlayers = up({"9.0.0.1", 27015}, "beta", 2);
    withPlayers.gotPlayers = true;
    withPlayers.entry.playerList = {{1, "Zed", 0, 0}, {2, "[clan]Nemo", 3, 50}};
    window->refresh();
    scans.report(withPlayers);
    scans.finish();
    typeKeys(window->playerEdit(), QStringLiteral("nemo"));
    EXPECT_EQ(column(*window, BrowserColumn::Name), QStringList{QStringLiteral("beta")});
}

TEST_F(BrowserTest, AutoRefreshChoiceIsKept) {
    open();
    EXPECT_EQ(window->autoRefresh(), 0);
    window->autoRefreshBox()->setCurrentIndex(2);
    emit window->autoRefreshBox()->activated(2);
    EXPECT_EQ(settings::read(settings, settings::kBrowserAutoRefresh), 60);
    window.reset();
    open();
    EXPECT_EQ(window->autoRefresh(), 60);
    EXPECT_EQ(window->autoRefreshBox()->currentText(), QStringLiteral("60 s"));
    // A stored value that is no choice reads as off.
    settings::write(settings, settings::kBrowserAutoRefresh, 7);
    window.reset();
    open();
    EXPECT_EQ(window->autoRefresh(), 0);
}

TEST_F(BrowserTest, ContextMenuCopiesAddsAndRemoves) {
    open();
    auto trigger = [&](QMenu& menu, const QString& text) {
        for (QAction* a : menu.actions()) {
            if (a->text() == text) {
                a->trigger();
                return true;
            }
            if (a->menu() != nullptr && !a->menu()->actions().isEmpty() &&
                a->menu()->actions().first()->text() == text) {
                a->menu()->actions().first()->trigger();
                return true;
            }
        }
        return false;
    };
    std::unique_ptr<QMenu> menu = window->contextMenuFor(0);
    ASSERT_TRUE(trigger(*menu, QStringLiteral("Copy &address")));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("10.0.0.1:27015"));
    ASSERT_TRUE(trigger(*menu, QStringLiteral("Clan (clan.sl06)")));
    ASSERT_EQ(lists.at(1).size(), 1u);
    EXPECT_EQ(lists.at(1).entries()[0].hostName, "Alpha <b>bold</b>");

    prompt.answers = {Prompt::Answer::Cancel, Prompt::Answer::Ok};
    ASSERT_TRUE(trigger(*menu, QStringLiteral("&Remove")));
    EXPECT_EQ(lists.at(0).size(), 4u);
    ASSERT_TRUE(trigger(*menu, QStringLiteral("&Remove")));
    EXPECT_EQ(lists.at(0).size(), 3u);
    EXPECT_EQ(lists.at(0).find({"10.0.0.1", 27015}), -1);
    EXPECT_EQ(window->model().rowCount(), 3);
    ASSERT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(prompt.messages[0].text, "Delete 10.0.0.1:27015 Alpha <b>bold</b>?");
}

// The browser opened from the monitor's menu, and its servers shown there.
class MonitorBrowserTest : public MonitorFixture {};

TEST_F(MonitorBrowserTest, DoubleClickAndEnterShowTheServerInTheMonitor) {
    openWindow([](Application& app) {
        app.lists().current().storeEntry(entry("127.0.0.1", "Custom one", 1, 8));
        ServerList clan("/tmp/none/clan.sl06", "clan.sl06", "Clan");
        clan.storeEntry(entry("127.0.0.2", "Clan two", 2, 8));
        clan.storeEntry(entry("127.0.0.3", "Clan three", 3, 8));
        app.lists().append(std::move(clan));
    });
    m_dialog->commandAction(40040)->trigger();
    BrowserWindow* browser = topLevelWindow<BrowserWindow>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->isVisible());
    EXPECT_TRUE(browser->windowTitle().contains(QStringLiteral("Browser")));
    ASSERT_EQ(browser->proxy().rowCount(), 1);

    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser->windowHandle()));
    QTableView* table = browser->table();
    const QRect cell = table->visualRect(browser->proxy().index(0, 0));
    // A double click as the window system sends it: press, release, then the double click.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(m_dialog->workingCopy().address, (ServerAddress{"127.0.0.1", 27015}));
    EXPECT_EQ(serverSelector(*m_dialog)->currentText(), QStringLiteral("127.0.0.1:27015"));

    // Another list: Enter on its second row makes that list current in the monitor too.
    browser->listSelector()->setCurrentIndex(1);
    emit browser->listSelector()->activated(1);
    ASSERT_EQ(browser->proxy().rowCount(), 2);
    table->setCurrentIndex(browser->proxy().index(1, 0));
    pressKey(table, Qt::Key_Return);
    EXPECT_EQ(m_app->lists().currentIndex(), 1u);
    EXPECT_EQ(listSelector(*m_dialog)->currentIndex(), 1);
    EXPECT_EQ(m_dialog->workingCopy().address, (ServerAddress{"127.0.0.2", 27015}));
    EXPECT_EQ(m_dialog->workingCopy().hostName, "Clan two");

    // The menu again brings the same window back.
    m_dialog->commandAction(40040)->trigger();
    EXPECT_EQ(topLevelWindow<BrowserWindow>(), browser);
}

// Keys through the window system (as a person types them): the filter takes the text and F5
// refreshes, with the monitor open beside the browser.
TEST_F(MonitorBrowserTest, TypingAndF5ReachTheBrowserThroughTheWindowSystem) {
    openWindow([](Application& app) {
        app.lists().current().storeEntry(entry("127.0.0.1", "First", 1, 8));
        app.lists().current().storeEntry(entry("127.0.0.2", "Second", 2, 8));
    });
    BrowserWindow* browser = m_dialog->openBrowser();
    QWindow* window = browser->windowHandle();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    browser->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QLineEdit* filter = browser->filterEdit();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                      filter->mapTo(browser, filter->rect().center()));
    ASSERT_TRUE(filter->hasFocus());
    for (const char* c = "sec"; *c != '\0'; ++c)
        QTest::keyClick(window, *c);
    EXPECT_EQ(filter->text(), QStringLiteral("sec"));
    EXPECT_EQ(column(*browser, BrowserColumn::Name), QStringList{QStringLiteral("Second")});

    QSignalSpy finished(browser, &BrowserWindow::refreshFinished);
    QTest::keyClick(window, Qt::Key_F5);
    ASSERT_TRUE(waitFor([&] { return finished.count() == 1; }));
    EXPECT_EQ(browser->progressBar()->value(), 2);
    EXPECT_EQ(browser->progressBar()->maximum(), 2);
    EXPECT_TRUE(m_dialog->isVisible());
}

} // namespace
} // namespace ondel::test
