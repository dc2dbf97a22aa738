#include "ui/browser/BrowserWindow.h"
#include "../../core/fakes/FakeSettingsStore.h"
#include "../monitor/MonitorFixture.h"
#include "../toolkit/WindowInput.h"
#include "FakeScans.h"
#include "browser/ScanService.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "sqlite/SqliteHistoryStore.h"
#include "ui/browser/BrowserDetails.h"
#include "ui/browser/BrowserModel.h"
#include "ui/browser/BrowserProxyModel.h"
#include "ui/browser/BrowserTable.h"
#include "ui/browser/ServerDetailsPane.h"
#include "ui/history/HistoryView.h"
#include "ui/monitor/ServerSelector.h"
#include "ui/toolkit/ColorListCtrl.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

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

QTableView* table(const BrowserWindow& w) {
    return namedChild<QTableView>(&w, BrowserWindow::kServerTable);
}

QStringList column(const BrowserWindow& w, BrowserColumn c) {
    QStringList out;
    for (int r = 0; r < w.proxy().rowCount(); ++r)
        out << w.proxy().index(r, static_cast<int>(c)).data().toString();
    return out;
}

// Records the window each question stood over.
class ParentRecordingPrompt : public FakeUiPrompt {
public:
    Answer message(const std::string& title, const std::string& text, Buttons buttons,
                   Icon icon) override {
        parents.push_back(parentWidget());
        return FakeUiPrompt::message(title, text, buttons, icon);
    }
    std::vector<QWidget*> parents;
};

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
    ParentRecordingPrompt prompt;
    BrowserWindow::Actions actions;
    std::unique_ptr<BrowserWindow> window;
};

TEST_F(BrowserTest, FiltersHideRowsAndTheStatusCountsThem) {
    open();
    auto* filter = namedChild<QLineEdit>(window.get(), BrowserFilterBar::kFilterText);
    EXPECT_EQ(window->proxy().rowCount(), 4);
    typeKeys(filter, QStringLiteral("DUST"));
    EXPECT_EQ(column(*window, BrowserColumn::Name), QStringList{QStringLiteral("beta")});
    filter->clear();
    typeKeys(filter, QStringLiteral("10.0.0."));
    EXPECT_EQ(window->proxy().rowCount(), 3);
    filter->clear();

    auto* hideFull = namedChild<QCheckBox>(window.get(), BrowserFilterBar::kHideFull);
    namedChild<QCheckBox>(window.get(), BrowserFilterBar::kHideEmpty)->setChecked(true);
    hideFull->setChecked(true);
    namedChild<QCheckBox>(window.get(), BrowserFilterBar::kHidePassword)->setChecked(true);
    EXPECT_EQ(column(*window, BrowserColumn::Name),
              QStringList{QStringLiteral("Alpha <b>bold</b>")});
    EXPECT_EQ(namedChild<QLabel>(window.get(), BrowserWindow::kStatusLabel)->text(),
              QStringLiteral("1 of 4 servers shown"));
    hideFull->setChecked(false);
    EXPECT_EQ(window->proxy().rowCount(), 2);
}

TEST_F(BrowserTest, HeaderClicksSortNumericColumnsAsNumbers) {
    open();
    window->show();
    QHeaderView* header = table(*window)->horizontalHeader();
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
    auto* progress = namedChild<QProgressBar>(window.get(), BrowserRefresh::kRefreshProgress);
    auto* status = namedChild<QLabel>(window.get(), BrowserWindow::kStatusLabel);
    namedChild<QAction>(window.get(), BrowserWindow::kRefreshAction)->trigger();
    ASSERT_EQ(scans.started.size(), 1u);
    EXPECT_EQ(scans.started[0].size(), 4u); // asked once
    EXPECT_EQ(progress->maximum(), 4);

    scans.report(up({"10.0.0.4", 27015}, "Delta fresh", 7));
    ScanResult timeout;
    timeout.address = {"10.0.0.3", 27015};
    scans.report(timeout);
    // Results reach the table and the list in batches, not one by one.
    EXPECT_EQ(progress->value(), 0);
    ASSERT_TRUE(waitFor([&] { return progress->value() == 2; }));
    const ServerList& list = lists.at(0);
    EXPECT_EQ(list.entries()[3].hostName, "Delta fresh");
    EXPECT_EQ(list.entries()[3].players, 7);
    EXPECT_EQ(list.entries()[2].hostName, "Gamma full"); // a timeout keeps what was known
    const int delta = window->model().indexOf({"10.0.0.4", 27015});
    const int gamma = window->model().indexOf({"10.0.0.3", 27015});
    EXPECT_EQ(window->model().index(delta, 0).data().toString(), QStringLiteral("Delta fresh"));
    EXPECT_EQ(window->model().index(gamma, static_cast<int>(BrowserColumn::Ping)).data(),
              QStringLiteral("Timeout"));
    EXPECT_TRUE(
        status->text().endsWith(QStringLiteral("; refreshing: 2 of 4 answered or timed out")))
        << status->text().toStdString();
    EXPECT_EQ(finished.count(), 0);

    scans.finish();
    EXPECT_FALSE(status->text().contains(QStringLiteral("refreshing")))
        << status->text().toStdString();
    EXPECT_EQ(finished.count(), 1);

    // Find player: the server whose players hold the text.
    ScanResult withPlayers = up({"9.0.0.1", 27015}, "beta", 2);
    withPlayers.gotPlayers = true;
    withPlayers.entry.playerList = {{1, "Zed", 0, 0}, {2, "[clan]Nemo", 3, 50}};
    window->refresh();
    scans.report(withPlayers);
    scans.finish();
    typeKeys(namedChild<QLineEdit>(window.get(), BrowserFilterBar::kPlayerName),
             QStringLiteral("nemo"));
    EXPECT_EQ(column(*window, BrowserColumn::Name), QStringList{QStringLiteral("beta")});
}

TEST_F(BrowserTest, AutoRefreshChoiceIsKept) {
    auto box = [&] { return namedChild<QComboBox>(window.get(), BrowserRefresh::kAutoRefreshBox); };
    open();
    EXPECT_EQ(box()->currentData(), QVariant(0));
    box()->setCurrentIndex(2);
    emit box()->activated(2);
    EXPECT_EQ(settings::read(settings, settings::kBrowserAutoRefresh), 60);
    window.reset();
    open();
    EXPECT_EQ(box()->currentData(), QVariant(60));
    EXPECT_EQ(box()->currentText(), QStringLiteral("60 s"));
    // A stored value that is no choice reads as off.
    settings::write(settings, settings::kBrowserAutoRefresh, 7);
    window.reset();
    open();
    EXPECT_EQ(box()->currentData(), QVariant(0));
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
    ASSERT_TRUE(trigger(*menu, QStringLiteral("&1 Clan (clan.sl06)")));
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
    EXPECT_EQ(prompt.messages[0].text,
              "Delete 10.0.0.1:27015 Alpha <b>bold</b> from the list \"Custom server list\"?");
    EXPECT_EQ(prompt.parents[0], window.get()); // over the browser, not over the monitor
}

// A click on a row shows that server in the pane under the table; the pane hides, its state is
// kept; Tab leaves the table; the window says it is a window; Esc and Ctrl+W close it.
TEST_F(BrowserTest, ClickedRowShowsItsDetailsAndTheKeyboardGetsOut) {
    ServerEntry& beta = lists.at(0).entries()[1];
    beta.playerList = {{1, "Gordon", 12, 3725}, {2, "Alyx", 15, 59}};
    beta.rules = {{"mp_timelimit", "30"}, {"sv_gravity", "800"}};
    beta.rulesValid = true;
    open();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window->windowHandle()));
    auto* pane = namedChild<ServerDetailsPane>(window.get(), ServerDetailsPane::kObjectName);
    ASSERT_NE(pane, nullptr);
    ASSERT_TRUE(pane->isVisible());
    EXPECT_FALSE(pane->hasServer());

    QTableView* servers = table(*window);
    input::click(servers->viewport(), servers->visualRect(window->proxy().index(1, 0)).center());
    ASSERT_TRUE(pane->hasServer());
    EXPECT_EQ(pane->field(QStringLiteral("Name"))->text(), QStringLiteral("beta"));
    EXPECT_EQ(pane->field(QStringLiteral("Map"))->text(), QStringLiteral("de_dust2"));
    EXPECT_EQ(pane->field(QStringLiteral("PW"))->text(), QStringLiteral("Yes"));
    EXPECT_EQ(pane->field(QStringLiteral("Ping"))->accessibleName(), QStringLiteral("Ping"));
    ASSERT_EQ(pane->playersView()->rowCount(), 2);
    EXPECT_EQ(pane->playersView()->itemText(0, 2), QStringLiteral("Gordon"));
    EXPECT_EQ(pane->playersView()->itemText(0, 4), QStringLiteral("01:02:05"));
    ASSERT_EQ(pane->rulesView()->rowCount(), 2);
    EXPECT_EQ(pane->rulesView()->itemText(1, 3), QStringLiteral("800"));
    // Sorted as in the monitor: "Frags" once ascending, twice descending (Alyx's 15 first).
    pane->playersView()->headerClicked(3);
    pane->playersView()->headerClicked(3);
    EXPECT_EQ(pane->playersView()->itemText(0, 2), QStringLiteral("Alyx"));

    ASSERT_TRUE(servers->hasFocus());
    input::key(window.get(), Qt::Key_Tab);
    EXPECT_FALSE(servers->hasFocus());

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Window);

    input::click(namedChild<QPushButton>(window.get(), BrowserDetails::kDetailsButton));
    EXPECT_FALSE(pane->isVisible());
    EXPECT_FALSE(pane->hasServer()); // nothing asked for a hidden pane
    EXPECT_EQ(settings::read(settings, settings::kBrowserDetailsShown), 0);
    namedChild<QSplitter>(window.get(), BrowserDetails::kDetailsSplitter)->setSizes({300, 200});
    input::key(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());

    open(); // a new window takes the stored state
    EXPECT_FALSE(
        namedChild<QPushButton>(window.get(), BrowserDetails::kDetailsButton)->isChecked());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window->windowHandle()));
    input::key(window.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

// Name takes the spare width; the window's size, the other columns' widths and the sort come
// back in the next window over the same settings; a stored header that is not this table's is
// ignored.
TEST_F(BrowserTest, SizeAndColumnsAreKeptBetweenWindows) {
    const int name = static_cast<int>(BrowserColumn::Name);
    const int map = static_cast<int>(BrowserColumn::Map);
    const int players = static_cast<int>(BrowserColumn::Players);
    auto columnsWidth = [&](QHeaderView* header) {
        int sum = 0;
        for (int c = 0; c < header->count(); ++c)
            sum += header->isSectionHidden(c) ? 0 : header->sectionSize(c);
        return sum;
    };
    open();
    window->show();
    window->resize(window->minimumWidth(), window->minimumHeight() + 20);
    const QSize size = window->size();
    QHeaderView* header = table(*window)->horizontalHeader();
    header->resizeSection(map, 40);
    EXPECT_EQ(columnsWidth(header), table(*window)->viewport()->width());
    header->resizeSection(map, 171);
    header->moveSection(header->visualIndex(players), 0);
    table(*window)->sortByColumn(players, Qt::DescendingOrder);
    window->close();

    open();
    window->show();
    header = table(*window)->horizontalHeader();
    EXPECT_EQ(window->size(), size);
    EXPECT_EQ(header->sectionSize(map), 171);
    EXPECT_EQ(header->logicalIndex(0), players);
    EXPECT_EQ(header->sortIndicatorSection(), players);
    EXPECT_EQ(column(*window, BrowserColumn::Players).first(), QStringLiteral("16/16"));
    EXPECT_GE(header->sectionSize(name), BrowserTable::kMinNameWidth);
    window->close();

    for (const char* stored :
         {"300,150,110;0,1,2;-1,0", "300,150,171,110,60,130,28,70,70;0,1,2,3,4,5,6,7,7;-1,0",
          "300,150,171,110,60,130,28,70,70;0,1,2,3,4,5,6,7,8;9,0",
          "300,150,171,110,60,130,28,70,99999;0,1,2,3,4,5,6,7,8;-1,0",
          "300,150,171,x,60,130,28,70,70;0,1,2,3,4,5,6,7,8;-1,0", "AAAA/wAAAAAAAAAB"}) {
        settings::write(settings, settings::kBrowserHeader, stored);
        open();
        header = table(*window)->horizontalHeader();
        EXPECT_EQ(header->sectionSize(map), 110) << stored;
        EXPECT_EQ(header->logicalIndex(0), name) << stored;
        EXPECT_EQ(header->sortIndicatorSection(), -1) << stored;
    }
}

// With a history store the details pane graphs the selected server's history and follows the
// selection to another server; without one there is no graph.
TEST_F(BrowserTest, DetailsPaneGraphsTheSelectedServersHistory) {
    const std::string path =
        testing::TempDir() + "ondel-browser-history-" + std::to_string(::getpid()) + ".sqlite";
    std::filesystem::remove(path);
    {
        SqliteHistoryStore store(path, {HistoryRetention{}, false});
        const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
        std::vector<HistorySample> samples;
        for (int i = 1; i <= 3; ++i)
            samples.push_back(
                {"10.0.0.1:27015", now - i * 60'000, true, 5, 0, 16, "crossfire", 20});
        store.record(samples);
        store.flush();

        open();
        window->show();
        EXPECT_EQ(window->findChild<HistoryView*>(), nullptr);
        window->setHistory(&store);
        auto* view = window->findChild<HistoryView*>();
        ASSERT_NE(view, nullptr);
        auto summary = [&] {
            for (const QLabel* label : view->findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    return label->text();
            return QString();
        };
        table(*window)->selectRow(0);
        EXPECT_EQ(view->server(), "10.0.0.1:27015");
        EXPECT_TRUE(summary().endsWith(QStringLiteral(" answered"))) << summary().toStdString();
        table(*window)->selectRow(1);
        EXPECT_EQ(view->server(), "9.0.0.1:27015");
        EXPECT_EQ(summary(), QString());
        window.reset();
    }
    for (const char* end : {"", "-wal", "-shm"})
        std::filesystem::remove(path + end);
}

// Names sort naturally; servers that never answered stay at the end in both directions; what
// a refresh learnt stays when another list was shown in between.
TEST_F(BrowserTest, SortingAndRowStatesHoldAcrossDirectionsAndListSwitches) {
    lists.at(0).entries()[0].hostName = "Server #11";
    lists.at(0).entries()[2].hostName = "Server #2";
    ServerEntry silent;
    silent.address = {"10.0.0.9", 27015};
    lists.at(0).entries().push_back(silent);
    open();
    const QStringList ascending{"beta", "Delta", "Server #2", "Server #11", ""};
    table(*window)->sortByColumn(static_cast<int>(BrowserColumn::Name), Qt::AscendingOrder);
    EXPECT_EQ(column(*window, BrowserColumn::Name), ascending);
    table(*window)->sortByColumn(static_cast<int>(BrowserColumn::Name), Qt::DescendingOrder);
    EXPECT_EQ(column(*window, BrowserColumn::Name),
              (QStringList{"Server #11", "Server #2", "Delta", "beta", ""}));
    table(*window)->sortByColumn(static_cast<int>(BrowserColumn::Players), Qt::DescendingOrder);
    EXPECT_EQ(column(*window, BrowserColumn::Players).last(), QString());

    window->refresh();
    ScanResult zero = up({"9.0.0.1", 27015}, "beta", 9);
    zero.pingMs = 0;
    scans.report(zero);
    ScanResult lost;
    lost.address = {"10.0.0.3", 27015};
    lost.status = ScanResult::Status::Timeout;
    scans.report(lost);
    scans.finish();
    window->showList(1);
    window->showList(0);
    const BrowserRow& beta = window->model().row(window->model().indexOf({"9.0.0.1", 27015}));
    EXPECT_EQ(cellText(beta, BrowserColumn::Ping), "0");
    EXPECT_EQ(beta.dialect, QueryDialect::Legacy);
    const BrowserRow& gone = window->model().row(window->model().indexOf({"10.0.0.3", 27015}));
    EXPECT_EQ(cellText(gone, BrowserColumn::Ping), "Timeout");
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
    QTableView* servers = table(*browser);
    const QRect cell = servers->visualRect(browser->proxy().index(0, 0));
    // A double click as the window system sends it: press, release, then the double click.
    QTest::mouseClick(servers->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(servers->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(m_dialog->workingCopy().address, (ServerAddress{"127.0.0.1", 27015}));
    EXPECT_EQ(serverSelector(*m_dialog)->currentText(), QStringLiteral("127.0.0.1:27015"));

    // Another list: Enter on its second row makes that list current in the monitor too.
    auto* selector = namedChild<QComboBox>(browser, BrowserWindow::kListSelector);
    selector->setCurrentIndex(1);
    emit selector->activated(1);
    ASSERT_EQ(browser->proxy().rowCount(), 2);
    servers->setCurrentIndex(browser->proxy().index(1, 0));
    pressKey(servers, Qt::Key_Return);
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
    auto* filter = namedChild<QLineEdit>(browser, BrowserFilterBar::kFilterText);
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
    auto* progress = namedChild<QProgressBar>(browser, BrowserRefresh::kRefreshProgress);
    EXPECT_EQ(progress->value(), 2);
    EXPECT_EQ(progress->maximum(), 2);
    EXPECT_TRUE(m_dialog->isVisible());
}

} // namespace
} // namespace ondel::test
