// "Find Servers" against steamapisim, the stand-in of the Steam Web API on loopback.
#include "ui/discover/FindServersDialog.h"
#include "platform/QtSettingsStore.h"
#include "serverlist/ListFiles.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "../toolkit/FakeUiPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ondel;

namespace {

const QString kKey = QStringLiteral("FEEDFACEFEEDFACEFEEDFACEFEEDFACE");

class FindServersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_dataDir = m_dir.path().toStdString() + "/";
        qunsetenv("ONDEL_STEAM_API_KEY");
        m_sim.start(
            QStringLiteral(STEAMAPISIM_PATH),
            {QStringLiteral("--servers"), QStringLiteral("30"), QStringLiteral("--key"), kKey});
        static const QRegularExpression re(QStringLiteral("listening on (127\\.0\\.0\\.1:\\d+)"));
        QDeadlineTimer deadline(10000);
        QByteArray out;
        while (m_url.isEmpty() && !deadline.hasExpired()) {
            m_sim.waitForReadyRead(50);
            out += m_sim.readAllStandardOutput();
            auto m = re.match(QString::fromLatin1(out));
            if (m.hasMatch())
                m_url = QStringLiteral("http://") + m.captured(1);
        }
        ASSERT_FALSE(m_url.isEmpty());
        qputenv("ONDEL_STEAM_API_URL", m_url.toUtf8());
        std::string custom = m_dataDir + "serverlist.sl06";
        m_lists.append(ServerList(custom, custom, "Custom"));
    }
    void TearDown() override {
        qunsetenv("ONDEL_STEAM_API_URL");
        m_sim.terminate();
        m_sim.waitForFinished(5000);
    }
    // Clicks Find and waits until the search has ended.
    static void find(FindServersDialog& dialog) {
        dialog.findButton()->click();
        QDeadlineTimer deadline(20000);
        while (dialog.searching() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_FALSE(dialog.searching());
    }

    QTemporaryDir m_dir;
    std::string m_dataDir;
    QProcess m_sim;
    QString m_url;
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
