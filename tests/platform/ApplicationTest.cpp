#include "app/Application.h"
#include "PlatformTestSupport.h"

#include "../core/fakes/FakePrompt.h"
#include "common/ByteWriter.h"
#include "common/Prompt.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

using namespace ondel;
using ondel::test::app;

namespace {

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(dir.isValid());
        qputenv("ONDEL_SETTINGS", (dir.path() + "/Ondel.conf").toLocal8Bit());
    }
    void TearDown() override { qunsetenv("ONDEL_SETTINGS"); }
    std::string dataDir() const { return dir.path().toStdString() + "/"; }

    QTemporaryDir dir;
    ondel::test::FakePrompt prompt;
};

} // namespace

TEST_F(ApplicationTest, StartsUpLoadsAndSavesTheLists) {
    Application application(prompt, dir.path().toStdString()); // without the trailing '/'
    ASSERT_TRUE(application.start());
    EXPECT_EQ(application.dataDirectory(), dataDir());
    ASSERT_EQ(application.lists().size(), 1u);
    EXPECT_EQ(application.lists().at(0).filePath(), dataDir() + "serverlist.sl06");
    application.finish();
    EXPECT_TRUE(QFile::exists(dir.path() + "/serverlist.sl06"));
}

TEST_F(ApplicationTest, WithoutADataDirectoryTheListsGoToTheUsersDataFolderMadePrivate) {
    const QString appName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Ondel"));
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toLocal8Bit());
    {
        Application application(prompt);
        ASSERT_TRUE(application.start());
        const QString folder = dir.path() + "/data/Ondel";
        EXPECT_EQ(application.dataDirectory(), folder.toStdString() + "/");
        namespace fs = std::filesystem;
        EXPECT_EQ(fs::status(folder.toStdString()).permissions() & fs::perms::mask,
                  fs::perms::owner_all);
        application.finish();
        EXPECT_TRUE(QFile::exists(folder + "/serverlist.sl06"));
    }
    qunsetenv("XDG_DATA_HOME");
    QCoreApplication::setApplicationName(appName);
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(ApplicationTest, DotAsDataDirectoryKeepsTheListsInTheCurrentDirectory) {
    QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    {
        Application application(prompt, ".");
        application.start();
        EXPECT_EQ(application.dataDirectory(), QDir::currentPath().toStdString() + "/");
    }
    QDir::setCurrent(before);
}

TEST_F(ApplicationTest, WithoutAFreePortTheErrorIsShownOnceAndStartUpGoesOn) {
    std::vector<std::unique_ptr<QUdpSocket>> holders;
    for (int port = PosixUdpSocket::kFirstPort;
         port < PosixUdpSocket::kFirstPort + PosixUdpSocket::kPortCount; ++port) {
        auto s = std::make_unique<QUdpSocket>();
        s->bind(QHostAddress::AnyIPv4, static_cast<quint16>(port),
                QAbstractSocket::DontShareAddress);
        holders.push_back(std::move(s)); // held by this test or by someone else already
    }
    Application application(prompt, dataDir());
    ASSERT_TRUE(application.start());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].title, "Error");
    EXPECT_EQ(prompt.messages[0].text, "Can't initialize socket!!!");
    EXPECT_EQ(prompt.messages[0].icon, Prompt::Icon::Error);
    EXPECT_EQ(prompt.messages[0].buttons, Prompt::Buttons::Ok);
    EXPECT_FALSE(application.socket().isOpen());
    EXPECT_EQ(application.lists().size(), 1u);
}

TEST_F(ApplicationTest, ErrorTextIsCutOnACharacterBoundaryAndFatalExitsWithOne) {
    Application application(prompt, dataDir());
    std::vector<int> exits;
    application.setExitFunction([&](int status) { exits.push_back(status); });
    std::string text(510, 'a');
    text += "\xE2\x82\xAC"; // a euro sign across the 511-byte limit
    application.showError(false, text);
    EXPECT_EQ(prompt.messages.back().text, std::string(510, 'a'));
    EXPECT_TRUE(exits.empty());
    application.showError(true, "gone");
    EXPECT_EQ(prompt.messages.back().text, "gone");
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(ApplicationTest, MasterStarterRunsOnceOnTheFirstInfoReply) {
    Application application(prompt, dataDir());
    ASSERT_TRUE(application.start());
    int starts = 0;
    application.setMasterStarter([&] { ++starts; });
    QUdpSocket server;
    ASSERT_TRUE(server.bind(QHostAddress::LocalHost, 0));
    ServerEntry e;
    e.address = {"127.0.0.1", server.localPort()};
    application.engine().setCurrentServer(e);
    // Details at every cycle, however close together the cycles come.
    application.engine().setSchedule(ServerQuery::everyTick());
    auto reply = test::legacyInfoReply();
    for (int i = 0; i < 3; ++i) {
        application.engine().setCurrentServer(application.engine().currentServer());
        application.engine().queryTick();
        application.router().onDatagram(reply.data(), reply.size(), "127.0.0.1",
                                        server.localPort());
    }
    EXPECT_EQ(application.engine().replyCounts().info, 3u);
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(application.masterStarted());
    EXPECT_EQ(application.lists().current().entries().front().hostName, "name");
}
