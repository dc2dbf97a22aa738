#include "MonitorFixture.h"
#include "query/QueryEngine.h"
#include "settings/SettingsKeys.h"
#include "ui/toolkit/CEditEx.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextStream>

using namespace ondel;
using namespace ondel::test;

namespace {

const QString kName = QStringLiteral("Ondel <b>Test</b> Server");

// A scenario file in dir; returns its path.
QString writeScenario(const QString& dir, const QString& text) {
    const QString path = dir + QStringLiteral("/scenario.txt");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        QTextStream(&f) << text;
    return path;
}

QStringList column(const ColorListCtrl* list, int col) {
    QStringList out;
    for (int i = 0; i < list->rowCount(); ++i)
        out << list->itemText(i, col);
    return out;
}

void clickHeader(ColorListCtrl* list, int section) {
    QHeaderView* header = list->header();
    QPoint pos(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
               header->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, pos, header->viewport()->mapToGlobal(pos),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, header->viewport()->mapToGlobal(pos),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QApplication::sendEvent(header->viewport(), &release);
}

void clickRow(ColorListCtrl* list, int row) {
    QRect r = list->visualItemRect(list->topLevelItem(row));
    QPoint pos(list->header()->sectionViewportPosition(2) + 5, r.center().y());
    QMouseEvent press(QEvent::MouseButtonPress, pos, list->viewport()->mapToGlobal(pos),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, list->viewport()->mapToGlobal(pos),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &press);
    QApplication::sendEvent(list->viewport(), &release);
}

int rowOf(const ColorListCtrl* list, const QString& name) {
    for (int i = 0; i < list->rowCount(); ++i)
        if (list->itemText(i, 2) == name)
            return i;
    return -1;
}

const char* const kFragScenario = "join alice 5\n"
                                  "join bob 1\n"
                                  "join carl 9\n"
                                  "join dora 3\n"
                                  "at 4 frags alice 20\n";

} // namespace

class MonitorWindow : public MonitorFixture {};

TEST_F(MonitorWindow, ShowsTheSimulatorWithinThreeTicks) {
    Hlsim sim;
    ASSERT_TRUE(sim.start(
        {QStringLiteral("--name"), kName, QStringLiteral("--map"), QStringLiteral("de_dust"),
         QStringLiteral("--game-dir"), QStringLiteral("cstrike"), QStringLiteral("--game-desc"),
         QStringLiteral("Counter-Strike"), QStringLiteral("--players"), QStringLiteral("4"),
         QStringLiteral("--rule"), QStringLiteral("reserve_slots=2"), QStringLiteral("--rule"),
         QStringLiteral("admin_mod_version=2.50.60")}));
    openWindow();
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Ondel v" ONDEL_VERSION_TEXT "   "));
    m_dialog->setServerText(sim.address());
    ASSERT_TRUE(waitTicks(3));

    // Server text is shown as it came, tags and all.
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Ondel v" ONDEL_VERSION_TEXT "   ") + kName);
    auto* hostName = control<QPlainTextEdit>(1012);
    ASSERT_NE(hostName, nullptr);
    EXPECT_EQ(hostName->toPlainText(), kName);
    EXPECT_EQ(fieldText(1015), QStringLiteral("Counter-Strike"));
    EXPECT_EQ(fieldText(1013), QStringLiteral("de_dust"));
    EXPECT_EQ(fieldText(1007), QStringLiteral("4/16 (2 slots reserved)"));
    EXPECT_EQ(fieldText(1014), QStringLiteral("No"));
    EXPECT_EQ(fieldText(1017), QStringLiteral("Linux, Dedicated"));
    EXPECT_EQ(fieldText(1019), QStringLiteral("Yes (Version 2.50.60)"));
    EXPECT_EQ(fieldText(1021), QStringLiteral("No"));
    EXPECT_EQ(fieldText(1023), QStringLiteral("30 min"));
    EXPECT_TRUE(fieldText(1024).endsWith(QStringLiteral(" (not supported by CS)")))
        << fieldText(1024).toStdString();
    EXPECT_EQ(fieldText(1025), QStringLiteral("-"));
    EXPECT_NE(fieldText(1002), QStringLiteral("Timeout"));
    EXPECT_TRUE(fieldText(1002).contains(QLatin1Char('('))) << fieldText(1002).toStdString();
    // Every request answered: a tick sends details (12 bytes), every second one players too
    // (12), every tenth rules (10).
    const QStringList sends = {"12 B/s", "24 B/s", "22 B/s", "34 B/s"};
    EXPECT_TRUE(sends.contains(fieldText(1004))) << fieldText(1004).toStdString();
    EXPECT_NE(fieldText(1005), QStringLiteral("0 B/s"));

    // No Half-Life installation is configured: the game and map are missing there.
    EXPECT_EQ(control<CEditEx>(1015)->textColour(), QColor(255, 0, 0));
    EXPECT_EQ(control<CEditEx>(1013)->textColour(), QColor(255, 0, 0));
    EXPECT_NE(control<CEditEx>(1014)->textColour(), QColor(255, 0, 0));

    ColorListCtrl* players = playerView(*m_dialog);
    ASSERT_EQ(players->rowCount(), 4);
    EXPECT_EQ(column(players, 1), (QStringList{"01", "02", "03", "04"}));
    EXPECT_EQ(players->fadePercent(), 0);
    ColorListCtrl* rules = rulesView(*m_dialog);
    const int timelimit = rowOf(rules, QStringLiteral("mp_timelimit"));
    ASSERT_GE(timelimit, 0);
    EXPECT_EQ(rules->itemText(timelimit, 3), QStringLiteral("30"));
    EXPECT_EQ(rules->itemText(0, 1), QStringLiteral("01"));
    EXPECT_EQ(rules->fadePercent(), 0);

    // The answering server joined the current list.
    EXPECT_EQ(m_app->lists().current().size(), 1u);

    // The grabbed window, for a look at the layout.
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(m_dialog->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/monitor.png")));
}

TEST_F(MonitorWindow, TimeoutAndFadingAfterTheSimulatorStops) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--players"), QStringLiteral("3")}));
    openWindow();
    m_dialog->setServerText(sim.address());
    ASSERT_TRUE(waitFor([&] { return playerView(*m_dialog)->rowCount() == 3; }));
    ASSERT_NE(fieldText(1002), QStringLiteral("Timeout"));
    sim.stop();
    // The ping is given up 5 s after it was sent; each view fades once its data are older than
    // their refresh interval and 3 s (at least 5 s); rules come every 10 s, and the silence
    // halves the rate.
    ASSERT_TRUE(waitFor(
        [&] {
            return fieldText(1002) == QStringLiteral("Timeout") &&
                   playerView(*m_dialog)->fadePercent() == -50 &&
                   rulesView(*m_dialog)->fadePercent() == -50;
        },
        40000))
        << fieldText(1002).toStdString();
    // The last rows stay, drawn half-way to white.
    EXPECT_EQ(playerView(*m_dialog)->rowCount(), 3);
    EXPECT_GT(rulesView(*m_dialog)->rowCount(), 0);
    EXPECT_EQ(playerView(*m_dialog)->drawnColour(0, 2), QColor(128, 128, 128));
}

TEST_F(MonitorWindow, HeaderClicksSortAscendingThenDescending) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--scenario"),
                           writeScenario(m_dir.path(), QStringLiteral("join alice 5\njoin bob 1\n"
                                                                      "join carl 9\njoin dora 3\n"
                                                                      "join ed 3\n"))}));
    openWindow();
    m_dialog->setServerText(sim.address());
    ColorListCtrl* players = playerView(*m_dialog);
    ASSERT_TRUE(waitFor([&] { return players->rowCount() == 5; }));
    EXPECT_EQ(column(players, 2), (QStringList{"alice", "bob", "carl", "dora", "ed"}));

    clickHeader(players, 3); // "Frags"
    EXPECT_EQ(column(players, 2), (QStringList{"bob", "dora", "ed", "alice", "carl"}));
    clickHeader(players, 3);
    // Equal frags (dora, ed) keep their reply order in both directions.
    EXPECT_EQ(column(players, 2), (QStringList{"carl", "alice", "dora", "ed", "bob"}));
    EXPECT_EQ(column(players, 3), (QStringList{"9", "5", "3", "3", "1"}));
    ASSERT_TRUE(waitTicks(1));
    EXPECT_EQ(column(players, 2), (QStringList{"carl", "alice", "dora", "ed", "bob"}));

    clickHeader(players, 2); // "Name": ascending again
    EXPECT_EQ(column(players, 2), (QStringList{"alice", "bob", "carl", "dora", "ed"}));
    clickHeader(players, 2);
    EXPECT_EQ(column(players, 2), (QStringList{"ed", "dora", "carl", "bob", "alice"}));
    emit players->header()->sectionClicked(0); // the hidden column changes nothing
    EXPECT_EQ(column(players, 2), (QStringList{"ed", "dora", "carl", "bob", "alice"}));
}

TEST_F(MonitorWindow, SelectedPlayerStaysSelectedWhileRowsReorder) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--scenario"),
                           writeScenario(m_dir.path(), QString::fromLatin1(kFragScenario))}));
    openWindow();
    m_dialog->setServerText(sim.address());
    ColorListCtrl* players = playerView(*m_dialog);
    ASSERT_TRUE(waitFor([&] { return players->rowCount() == 4; }));
    clickHeader(players, 3);
    clickHeader(players, 3); // frags descending: carl 9, alice 5, dora 3, bob 1
    ASSERT_EQ(rowOf(players, QStringLiteral("alice")), 1);
    clickRow(players, 1);
    ASSERT_TRUE(players->isRowSelected(1));
    // The selection went into the current server's record.
    ASSERT_TRUE(waitTicks(1));
    EXPECT_TRUE(players->isRowSelected(rowOf(players, QStringLiteral("alice"))));

    // alice gets 20 frags and moves to the top; her row stays the selected one.
    ASSERT_TRUE(waitFor([&] { return rowOf(players, QStringLiteral("alice")) == 0; }, 20000));
    ASSERT_TRUE(waitTicks(1));
    EXPECT_EQ(rowOf(players, QStringLiteral("alice")), 0);
    EXPECT_TRUE(players->isRowSelected(0));
    for (int i = 1; i < players->rowCount(); ++i)
        EXPECT_FALSE(players->isRowSelected(i)) << players->itemText(i, 2).toStdString();
}

TEST_F(MonitorWindow, PlayerGainingFragsShowsBlue) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--scenario"),
                           writeScenario(m_dir.path(), QString::fromLatin1(kFragScenario))}));
    openWindow();
    m_dialog->setServerText(sim.address());
    ColorListCtrl* players = playerView(*m_dialog);
    ASSERT_TRUE(waitFor([&] { return players->rowCount() == 4; }));
    const int bob = rowOf(players, QStringLiteral("bob"));
    EXPECT_EQ(players->cellColour(bob, 3), kNormalColour);

    ASSERT_TRUE(waitFor(
        [&] {
            int alice = rowOf(players, QStringLiteral("alice"));
            return alice >= 0 && players->itemText(alice, 3) == QStringLiteral("20");
        },
        20000));
    const int alice = rowOf(players, QStringLiteral("alice"));
    const CellColour c = players->cellColour(alice, 3);
    ASSERT_NE(c, kNormalColour);
    EXPECT_EQ(redOf(c), 0);
    EXPECT_EQ(greenOf(c), 0);
    EXPECT_GT(blueOf(c), 100); // fresh: at most a second or two of the ten have passed
    EXPECT_EQ(players->cellColour(rowOf(players, QStringLiteral("bob")), 3), kNormalColour);
}

TEST_F(MonitorWindow, EnterKeepsTheWindowEscEndsIt) {
    openWindow();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &enter);
    QApplication::processEvents();
    EXPECT_TRUE(m_dialog->isVisible());
    // Also from a field (the event goes on to the window when the field does not take it).
    pressKey(control<QLineEdit>(1006), Qt::Key_Return);
    pressKey(control<QLineEdit>(1006), Qt::Key_Enter);
    QApplication::processEvents();
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(fieldText(1004), QStringLiteral("0 B/s"));
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &esc);
    QApplication::processEvents();
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Rejected);
}

TEST_F(MonitorWindow, MinimisedTitleCountsPlayers) {
    Hlsim sim;
    ASSERT_TRUE(
        sim.start({QStringLiteral("--name"), QStringLiteral("Twelve"), QStringLiteral("--players"),
                   QStringLiteral("12"), QStringLiteral("--max-players"), QStringLiteral("16")}));
    openWindow();
    m_dialog->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Ondel"));
    m_dialog->setServerText(sim.address());
    ASSERT_TRUE(waitFor([&] { return m_dialog->workingCopy().infoValid; }));
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Ondel   12/16 Twelve"));
    m_dialog->setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Ondel v" ONDEL_VERSION_TEXT "   Twelve"));
}

TEST_F(MonitorWindow, EveryControlAndCommandCarriesItsId) {
    openWindow();
    for (int id : {1009, 1008, 1043, 1018, 1006, 1010, 1011, 1022, 1002, 1004, 1005, 1012,
                   1025, 1015, 1007, 1013, 1014, 1017, 1019, 1021, 1023, 1024, 1003, 1000})
        EXPECT_NE(control<QWidget>(id), nullptr) << id;
    for (int id : {3, 40013, 57665, 40003, 40008, 40009, 40010, 40011, 40012, 40015, 40016, 40017,
                   40018, 40005}) {
        QAction* a = m_dialog->commandAction(id);
        ASSERT_NE(a, nullptr) << id;
        EXPECT_EQ(controlIdOf(a), id);
    }
    EXPECT_TRUE(m_dialog->commandAction(40005)->isEnabled());
    EXPECT_EQ(control<QComboBox>(1022)->count(), 22);
    EXPECT_EQ(control<QComboBox>(1022)->itemText(0), QStringLiteral("Auto"));
    EXPECT_EQ(control<QComboBox>(1022)->itemText(21), QStringLiteral("20"));
}

TEST_F(MonitorWindow, DemoServerWithAHalfLifeInstallation) {
    // The Half-Life directory of the settings holds the game and the map: no warning colours.
    const QString hl = m_dir.path() + QStringLiteral("/hl");
    ASSERT_TRUE(QDir().mkpath(hl + QStringLiteral("/valve/maps")));
    QFile map(hl + QStringLiteral("/valve/maps/crossfire.bsp"));
    ASSERT_TRUE(map.open(QIODevice::WriteOnly));
    map.close();
    const QString scenario = QStringLiteral(HLSIM_SCENARIOS "/demo.txt");
    ASSERT_TRUE(QFileInfo::exists(scenario));
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--scenario"), scenario}));
    openWindow([&](Application& app) {
        settings::write(app.settings(), settings::kHlDir, hl.toStdString());
    });
    m_dialog->setServerText(sim.address());
    ColorListCtrl* players = playerView(*m_dialog);
    ASSERT_TRUE(waitFor([&] { return players->rowCount() >= 5; }));
    clickHeader(players, 3);
    clickHeader(players, 3);
    // A kill in the first seconds: some frags cell lights up.
    ASSERT_TRUE(waitFor(
        [&] {
            for (int i = 0; i < players->rowCount(); ++i)
                if (players->cellColour(i, 3) != kNormalColour)
                    return true;
            return false;
        },
        15000));
    EXPECT_EQ(m_dialog->windowTitle(),
              QStringLiteral("Ondel v" ONDEL_VERSION_TEXT "   Ondel Demo Server"));
    EXPECT_EQ(fieldText(1013), QStringLiteral("crossfire"));
    EXPECT_NE(control<CEditEx>(1015)->textColour(), QColor(255, 0, 0));
    EXPECT_NE(control<CEditEx>(1013)->textColour(), QColor(255, 0, 0));
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(m_dialog->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/demo.png")));
}

TEST_F(MonitorWindow, ViewsAndPanelFollowTheCurrentRecord) {
    openWindow();
    QueryEngine& engine = m_app->engine();
    const std::int64_t now = m_app->clock().nowMs1601();
    ServerEntry e;
    e.address = parseAddress("192.0.2.5:27015");
    e.playersTime = now;
    e.rulesTime = now;
    for (int i = 1; i <= 4; ++i) {
        PlayerRecord p;
        p.index = static_cast<std::uint8_t>(i);
        p.name = "p" + std::to_string(i);
        p.time = i == 4 ? 30 : 3725;
        e.playerList.push_back(p);
    }
    for (int i = 0; i < 10; ++i)
        e.rules.push_back({"rule" + std::to_string(i), "v"});
    engine.setCurrentServer(e);
    m_dialog->refreshDisplay();
    ColorListCtrl* players = playerView(*m_dialog);
    ColorListCtrl* rules = rulesView(*m_dialog);
    ASSERT_EQ(players->rowCount(), 4);
    EXPECT_EQ(players->itemText(3, 4), QStringLiteral("00:00:30"));
    EXPECT_EQ(players->cellColour(3, 4), kRed);
    EXPECT_EQ(players->itemText(0, 4), QStringLiteral("01:02:05"));
    EXPECT_EQ(players->cellColour(0, 4), kNormalColour);
    EXPECT_EQ(rules->rowCount(), 10);

    // Fewer players and rules: exactly as many rows; an old list fades.
    e.playerList.resize(2);
    e.rules.resize(3);
    e.playersTime = now - 6000;
    engine.setCurrentServer(e);
    m_dialog->refreshDisplay();
    EXPECT_EQ(players->rowCount(), 2);
    EXPECT_EQ(players->fadePercent(), -50);
    EXPECT_EQ(column(rules, 1), (QStringList{"01", "02", "03"}));
    EXPECT_EQ(rules->fadePercent(), 0);

    e.playerList.clear();
    engine.setCurrentServer(e);
    m_dialog->refreshDisplay();
    EXPECT_EQ(players->rowCount(), 0);

    // A server that wants a password with none stored: "PW:" in red until one is typed.
    e.infoValid = true;
    e.passwordRequired = 1;
    engine.setCurrentServer(e);
    m_dialog->refreshDisplay();
    EXPECT_EQ(fieldText(1014), QStringLiteral("Yes"));
    EXPECT_EQ(control<CEditEx>(1014)->textColour(), QColor(255, 0, 0));
    typeKeys(control<QLineEdit>(1006), QStringLiteral("x"));
    m_dialog->refreshDisplay();
    EXPECT_NE(control<CEditEx>(1014)->textColour(), QColor(255, 0, 0));
}

// A screen too small for the form at the window's font (letters twice as large stand for twice
// the scale): the letters shrink until the whole form is seen in the window, without scrolling.
TEST_F(MonitorWindow, TheWholeFormFitsASmallScreen) {
    const QFont usual = QApplication::font();
    QFont large = usual;
    large.setPointSizeF(18);
    QApplication::setFont(large);
    openWindow();
    QApplication::setFont(usual);
    auto* scroll = m_dialog->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    QApplication::processEvents();
    EXPECT_LT(m_dialog->font().pointSizeF(), 18.0);
    const QSize room = m_dialog->screen()->availableGeometry().size();
    EXPECT_LE(m_dialog->height(), room.height());
    EXPECT_LE(scroll->widget()->minimumHeight(), scroll->viewport()->height());
    EXPECT_LE(scroll->widget()->minimumWidth(), scroll->viewport()->width());
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
}
