// The window program's lists on the disk while it runs and as it ends: written as they change
// (a SIGKILL loses nothing shown before it), an orderly end on SIGTERM, SIGINT and SIGHUP, and
// one program per data folder (a second start hands its server to the first and ends).
// Real processes: hlsim on loopback and ondel under the offscreen platform.
#include "../../QtWait.h"
#include "SimProcess.h"
#include "serverlist/ListFiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <set>

using namespace ondel;
using ondel::hlsimtest::SimProcess;
using ondel::test::waitFor;

namespace {

const QString kOndel = QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel");
const QString kCli = QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel-cli");

QProcessEnvironment environment(const QTemporaryDir& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ONDEL_SETTINGS"), dir.filePath(QStringLiteral("Ondel.conf")));
    env.insert(QStringLiteral("ONDEL_MASTER_HOST"), QString()); // no master session
    return env;
}

// ondel --data-dir D 127.0.0.1:PORT, started and running.
bool startOndel(QProcess& ondel, const QTemporaryDir& dir, int port) {
    ondel.setProcessEnvironment(environment(dir));
    ondel.start(kOndel, {QStringLiteral("--data-dir"), dir.path(),
                         QStringLiteral("127.0.0.1:%1").arg(port)});
    return ondel.waitForStarted(10000);
}

// The ports of the servers in the custom list file of dir.
std::set<int> portsOnDisk(const QTemporaryDir& dir) {
    std::set<int> ports;
    ListFileRead read = readListFile(dir.filePath(QStringLiteral("serverlist.sl06")).toStdString());
    for (const ServerEntry& e : read.contents.entries)
        ports.insert(e.address.port);
    return ports;
}

bool endedWithZero(QProcess& process, int timeoutMs) {
    return process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

class WindowRunE2E : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sim.start({"--count", "2"}, 2)) << m_sim.error(); }
    int port(std::size_t i) const { return m_sim.port(i); }

    SimProcess m_sim;
};

} // namespace

TEST_F(WindowRunE2E, AKilledRunHasWrittenWhatItShowedAndLeavesNoLockBehind) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess first;
    ASSERT_TRUE(startOndel(first, dir, port(0)));
    // The server answers, joins the custom list, and the list reaches the disk while the program
    // runs on.
    ASSERT_TRUE(waitFor([&] { return portsOnDisk(dir).count(port(0)) == 1; }, 10000, 50))
        << first.readAllStandardError().toStdString();
    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    EXPECT_EQ(portsOnDisk(dir), std::set<int>{port(0)});

    // The lock of the killed run does not hand the next start to a program that is gone.
    QProcess second;
    ASSERT_TRUE(startOndel(second, dir, port(1)));
    ASSERT_TRUE(waitFor([&] { return portsOnDisk(dir).count(port(1)) == 1; }, 10000, 50))
        << second.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
    EXPECT_TRUE(endedWithZero(second, 10000));
    EXPECT_EQ(portsOnDisk(dir), (std::set<int>{port(0), port(1)}));
}

TEST_F(WindowRunE2E, EveryEndSignalEndsTheRunAsTheCloseBoxDoes) {
    const std::vector<int> kinds = {SIGTERM, SIGINT, SIGHUP};
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
    std::vector<std::unique_ptr<QProcess>> runs;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        dirs.push_back(std::make_unique<QTemporaryDir>());
        runs.push_back(std::make_unique<QProcess>());
        ASSERT_TRUE(startOndel(*runs[i], *dirs[i], port(0)));
    }
    QThread::msleep(4000);
    for (std::size_t i = 0; i < kinds.size(); ++i)
        ::kill(static_cast<pid_t>(runs[i]->processId()), kinds[i]);
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i]);
        EXPECT_TRUE(endedWithZero(*runs[i], 10000))
            << "status " << runs[i]->exitCode() << " "
            << runs[i]->readAllStandardError().toStdString();
        EXPECT_EQ(portsOnDisk(*dirs[i]), std::set<int>{port(0)});
    }
}

TEST_F(WindowRunE2E, ASecondStartHandsItsServerToTheFirstAndTheToolStaysOut) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess first;
    ASSERT_TRUE(startOndel(first, dir, port(0)));
    ASSERT_TRUE(waitFor([&] { return portsOnDisk(dir).count(port(0)) == 1; }, 10000, 50));

    QProcess second;
    ASSERT_TRUE(startOndel(second, dir, port(1)));
    EXPECT_TRUE(endedWithZero(second, 10000)) << second.readAllStandardError().toStdString();
    // The first shows the second's server: it answers and joins the list.
    EXPECT_TRUE(waitFor([&] { return portsOnDisk(dir).count(port(1)) == 1; }, 10000, 50));

    // The tool would write a list of the folder beside the window: it refuses before asking.
    QProcess cli;
    QProcessEnvironment env = environment(dir);
    env.insert(QStringLiteral("ONDEL_STEAM_API_KEY"), QStringLiteral("0123456789ABCDEF"));
    env.insert(QStringLiteral("ONDEL_STEAM_API_URL"), QStringLiteral("http://127.0.0.1:9"));
    cli.setProcessEnvironment(env);
    cli.start(kCli, {QStringLiteral("discover"), QStringLiteral("--save-list"),
                     QStringLiteral("found"), QStringLiteral("--data-dir"), dir.path()});
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_NE(cli.exitCode(), 0);
    const QString said = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("the Ondel window is running"))) << said.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("found.sl06"))));

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    EXPECT_TRUE(endedWithZero(first, 10000));
    EXPECT_EQ(portsOnDisk(dir), (std::set<int>{port(0), port(1)}));
}
