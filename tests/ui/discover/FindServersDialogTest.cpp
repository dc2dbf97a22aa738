// "Find Servers" against steamapisim, the stand-in of the Steam Web API on loopback.
#include "ui/discover/FindServersDialog.h"
#include "../monitor/MonitorFixture.h"
#include "../toolkit/FakeUiPrompt.h"
#include "../toolkit/WindowInput.h"
#include "platform/QtSettingsStore.h"
#include "serverlist/ListFiles.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/browser/BrowserModel.h"
#include "ui/browser/BrowserWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace ondel;

namespace {

const QString kKey = QStringLiteral("FEEDFACEFEEDFACEFEEDFACEFEEDFACE");

// steamapisim on a free loopback port; ONDEL_STEAM_API_URL points at it while it runs.
class ApiSim {
public:
    bool start(const QStringList& args) {
        m_process.start(QStringLiteral(STEAMAPISIM_PATH), args);
        static const QRegularExpression re(QStringLiteral("listening on (127\\.0\\.0\\.1:\\d+)"));
        QByteArray out;
        QRegularExpressionMatch m;
        test::waitFor([&] {
            m_process.waitForReadyRead(50);
            out += m_process.readAllStandardOutput();
            m = re.match(QString::fromLatin1(out));
            return m.hasMatch() || m_process.state() == QProcess::NotRunning;
        });
        if (!m.hasMatch())
            return false;
        qputenv("ONDEL_STEAM_API_URL", "http://" + m.captured(1).toLatin1());
        return true;
    }
    ~ApiSim() {
        qunsetenv("ONDEL_STEAM_API_URL");
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

class FindServersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_dataDir = m_dir.path().toStdString() + "/";
        qunsetenv("ONDEL_STEAM_API_KEY");
        ASSERT_TRUE(m_sim.start(
            {QStringLiteral("--servers"), QStringLiteral("30"), QStringLiteral("--key"), kKey}));
        std::string custom = m_dataDir + "serverlist.sl06";
        m_lists.append(ServerList(custom, custom, "Custom"));
    }
    // Clicks Find and waits until the search has ended.
    static void find(FindServersDialog& dialog) {
        dialog.findButton()->click();
        ASSERT_TRUE(test::waitFor([&] { return !dialog.searching(); }, 20000));
    }

    QTemporaryDir m_dir;
    std::string m_dataDir;
    ApiSim m_sim;
    ServerListSet m_lists;
    test::FakeUiPrompt m_prompt;
};

} // namespace

TEST_F(FindServersTest, FillsANewListAndThenAnExistingOneWithoutRepeats) {
    QtSettingsStore settings(m_dir.filePath(QStringLiteral("Ondel.conf")));
    FindServersDialog dialog(settings, m_lists, m_dataDir, m_prompt);
    std::vector<std::size_t> filled;
    dialog.setListFilledHandler([&](std::size_t index) { filled.push_back(index); });
    dialog.keyEdit()->setText(kKey);
    dialog.gameCombo()->setCurrentIndex(dialog.gameCombo()->findData(QStringLiteral("tfc")));
    dialog.mapEdit()->setText(QStringLiteral("de_dust2"));
    dialog.limitBox()->setValue(50);
    EXPECT_EQ(dialog.filter().gameDir, "tfc");
    dialog.newListEdit()->setText(QStringLiteral("found"));
    dialog.show();
    find(dialog);

    ASSERT_EQ(m_lists.size(), 2u) << dialog.statusLabel()->text().toStdString();
    ASSERT_EQ(filled, std::vector<std::size_t>{1});
    const ServerList& found = m_lists.at(1);
    ASSERT_EQ(found.size(), 8u); // every fourth of 30 servers runs de_dust2
    EXPECT_EQ(found.entries()[0].gameDir, "tfc");
    EXPECT_EQ(found.entries()[0].address, (ServerAddress{"127.0.0.1", 27015}));
    ListFileRead onDisk = readListFile(m_dataDir + "found.sl06");
    ASSERT_EQ(onDisk.status, ListFileStatus::Read);
    EXPECT_EQ(onDisk.contents.entries.size(), 8u);
    EXPECT_EQ(settings::read(settings, settings::kSteamApiKey), kKey.toStdString());
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/find-servers.png")));

    // Every map, into the list just made: the eight it holds are not added again.
    dialog.mapEdit()->clear();
    dialog.listCombo()->setCurrentIndex(1);
    dialog.gameCombo()->setEditText(QStringLiteral("tfc"));
    find(dialog);
    EXPECT_EQ(m_lists.size(), 2u);
    EXPECT_EQ(m_lists.at(1).size(), 30u);
    EXPECT_TRUE(dialog.statusLabel()->text().contains(QStringLiteral("22 new")))
        << dialog.statusLabel()->text().toStdString();
    EXPECT_EQ(filled.size(), 2u);
}

TEST_F(FindServersTest, ARefusedKeyIsReportedWithoutTheKeyAndFillsNothing) {
    QtSettingsStore settings(m_dir.filePath(QStringLiteral("Ondel.conf")));
    FindServersDialog dialog(settings, m_lists, m_dataDir, m_prompt);
    const QString wrong = QStringLiteral("0000111122223333");
    dialog.keyEdit()->setText(wrong);
    find(dialog);
    QString status = dialog.statusLabel()->text();
    EXPECT_TRUE(status.contains(QStringLiteral("403"))) << status.toStdString();
    EXPECT_FALSE(status.contains(wrong));
    EXPECT_EQ(dialog.statusLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(m_lists.size(), 1u);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("found.sl06"))));
    // A mod folder typed in is asked for as itself.
    dialog.gameCombo()->setEditText(QStringLiteral("ns"));
    EXPECT_EQ(dialog.filter().gameDir, "ns");
    // The link to where keys are made opens only as http or https.
    EXPECT_TRUE(dialog.keyLink()->text().contains(QLatin1String(kSteamApiKeyPage)));
    EXPECT_FALSE(FindServersDialog::openLink(QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(FindServersDialog::openLink(QStringLiteral("javascript:alert(1)")));
}

// The new list's name is settled before the Web API is asked, and a search that finds nothing
// makes nothing.
TEST_F(FindServersTest, TheNewListsNameIsCheckedFirstAndNoMatchMakesNoList) {
    QtSettingsStore settings(m_dir.filePath(QStringLiteral("Ondel.conf")));
    writeList(ServerList(m_dataDir + "found.sl06", m_dataDir + "found.sl06", "mine"),
              m_dataDir + "found.sl06");
    const ListFileRead before = readListFile(m_dataDir + "found.sl06");
    FindServersDialog dialog(settings, m_lists, m_dataDir, m_prompt);
    dialog.keyEdit()->setText(kKey);
    EXPECT_EQ(dialog.newListEdit()->text(), QStringLiteral("found 2"));

    dialog.newListEdit()->setText(QStringLiteral("found"));
    dialog.findButton()->click();
    EXPECT_FALSE(dialog.searching());
    EXPECT_EQ(dialog.statusLabel()->text(),
              QStringLiteral("The file 'found.sl06' already exists!!!"));
    EXPECT_EQ(m_lists.size(), 1u);
    EXPECT_TRUE(readListFile(m_dataDir + "found.sl06").contents.entries == before.contents.entries);

    dialog.newListEdit()->setText(QStringLiteral("found 2"));
    dialog.mapEdit()->setText(QStringLiteral("no_such_map"));
    find(dialog);
    EXPECT_TRUE(dialog.statusLabel()->text().startsWith(QStringLiteral("No server matched")))
        << dialog.statusLabel()->text().toStdString();
    EXPECT_EQ(m_lists.size(), 1u);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("found 2.sl06"))));

    // What is found goes into the list named; the next free name is offered after it.
    dialog.mapEdit()->setText(QStringLiteral("de_dust2"));
    find(dialog);
    ASSERT_EQ(m_lists.size(), 2u) << dialog.statusLabel()->text().toStdString();
    EXPECT_EQ(m_lists.at(1).filePath(), m_dataDir + "found 2.sl06");
    EXPECT_FALSE(m_lists.at(1).entries().empty());
    dialog.listCombo()->setCurrentIndex(dialog.listCombo()->count() - 1);
    EXPECT_EQ(dialog.newListEdit()->text(), QStringLiteral("found 3"));
}

// From the monitor's menu, through the window system: Find Servers puts what the web API lists
// into a new list and closes, and the browser opens on that list and reads every server. The
// reply also holds a link-local, a 0.0.0.0 and a repeated entry; none of them reaches the list,
// so nothing but the loopback servers of hlsim is ever queried.
class FindServersWindowTest : public test::MonitorFixture {};

TEST_F(FindServersWindowTest, MenuSearchFillsANewListThatTheBrowserReads) {
    namespace input = test::input;
    constexpr int kServers = 12;
    test::Hlsim hlsim;
    ASSERT_TRUE(hlsim.start({QStringLiteral("--count"), QString::number(kServers),
                             QStringLiteral("--name"), QStringLiteral("Found by Ondel")}));
    ApiSim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--servers"), QString::number(kServers),
                           QStringLiteral("--server-port"), QString::number(hlsim.port()),
                           QStringLiteral("--key"), kKey.toLower()}));
    qunsetenv("ONDEL_STEAM_API_KEY");
    openWindow();
    m_prompt.dialogHandler = [](QDialog& dialog) { return dialog.exec(); }; // a real modal loop
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));

    auto watch = input::whenShown<FindServersDialog>([&](FindServersDialog& dialog) {
        EXPECT_TRUE(input::waitForFocus(&dialog));
        input::click(dialog.keyEdit());
        input::type(&dialog, kKey.toLower().toLatin1().constData());
        dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/find-servers-window.png"));
        input::click(dialog.findButton());
        if (!test::waitFor([&] { return !dialog.isVisible(); }, 20000)) {
            ADD_FAILURE() << "still open: " << dialog.statusLabel()->text().toStdString();
            dialog.reject();
        }
        // The link-local, the 0.0.0.0 and the repeated entry of the reply.
        EXPECT_TRUE(dialog.statusLabel()->text().contains(QStringLiteral("3 left out")))
            << dialog.statusLabel()->text().toStdString();
    });
    ASSERT_TRUE(input::clickMenu(m_dialog->findChild<QMenuBar*>(), QStringLiteral("Server &List"),
                                 QStringLiteral("&Find Servers...")));

    ASSERT_EQ(m_app->lists().size(), 2u);
    const ServerList& found = m_app->lists().at(1);
    EXPECT_EQ(found.filePath(), dataDir() + "found.sl06");
    std::set<int> ports;
    for (const ServerEntry& e : found.entries()) {
        EXPECT_EQ(e.address.host, "127.0.0.1");
        ports.insert(e.address.port);
    }
    EXPECT_EQ(found.size(), static_cast<std::size_t>(kServers));
    EXPECT_EQ(ports.size(), static_cast<std::size_t>(kServers));
    EXPECT_EQ(*ports.begin(), hlsim.port());
    EXPECT_EQ(*ports.rbegin(), hlsim.port() + kServers - 1);
    EXPECT_EQ(test::listSelector(*m_dialog)->count(), 2);

    BrowserWindow* browser = test::topLevelWindow<BrowserWindow>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->isVisible());
    EXPECT_EQ(browser->listIndex(), 1);
    // The refresh of the new list has ended: every server reported, none is still awaited.
    auto* progress = test::namedChild<QProgressBar>(browser, BrowserRefresh::kRefreshProgress);
    auto* status = test::namedChild<QLabel>(browser, BrowserWindow::kStatusLabel);
    ASSERT_TRUE(test::waitFor(
        [&] {
            return progress->value() == kServers &&
                   !status->text().contains(QStringLiteral("refreshing"));
        },
        30000));
    int up = 0;
    for (const BrowserRow& row : browser->model().rows())
        up += row.state == BrowserRow::State::Up ? 1 : 0;
    EXPECT_EQ(up, kServers);
    for (const ServerEntry& e : found.entries())
        EXPECT_TRUE(QString::fromStdString(e.hostName).startsWith(QStringLiteral("Found by Ondel")))
            << e.hostName;
    browser->resize(900, 420);
    QApplication::processEvents();
    EXPECT_TRUE(
        browser->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/find-servers-browser.png")));
}
