// The monitor on small and scaled screens (Xvfb, openbox): it opens within the screen and can be
// resized with the window manager, at twice the scale on 1600x1000 and at scale 1 on 1280x720.
#include "DesktopSession.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace ondel::desktoptest;

namespace {

struct Screen {
    const char* scale;
    QSize size;
    const char* picture; // saved in the test output when set
};

class DesktopMonitorFit : public ::testing::TestWithParam<Screen> {};

struct Killed {
    QProcess process;
    ~Killed() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

} // namespace

TEST_P(DesktopMonitorFit, OpensWithinTheScreenAndCanBeResized) {
    const Screen screen = GetParam();
    DesktopSession desk;
    if (!desk.start(screen.size)) {
        if (desk.xvfbMissing())
            GTEST_SKIP() << desk.error().toStdString();
        FAIL() << desk.error().toStdString();
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // A server with players and rules, so that the views have something to show.
    Killed sim;
    sim.process.start(QStringLiteral(ONDEL_BIN_DIR "/tools/hlsim/hlsim"),
                      {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--name"),
                       QStringLiteral("Scaled Server"), QStringLiteral("--players"),
                       QStringLiteral("12"), QStringLiteral("--quiet")});
    static const QRegularExpression listening(
        QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    QByteArray simOut;
    ASSERT_TRUE(eventually([&] {
        sim.process.waitForReadyRead(50);
        simOut += sim.process.readAllStandardOutput();
        return listening.match(QString::fromLatin1(simOut)).hasMatch();
    }));
    const QString server =
        QStringLiteral("127.0.0.1:") + listening.match(QString::fromLatin1(simOut)).captured(1);

    Killed ondel;
    QProcessEnvironment env = desk.environment();
    env.insert(QStringLiteral("ONDEL_SETTINGS"), dir.path() + QStringLiteral("/Ondel.conf"));
    env.insert(QStringLiteral("ONDEL_MASTER_HOST"), QString());
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(screen.scale));
    ondel.process.setProcessEnvironment(env);
    ondel.process.start(QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel"),
                        {QStringLiteral("--data-dir"), dir.path(), server});
    const QString monitor = desk.waitForWindow(QStringLiteral("^Ondel v"));
    ASSERT_FALSE(monitor.isEmpty());
    ASSERT_TRUE(desk.waitForActive(monitor));

    const QRect screenRect(QPoint(0, 0), screen.size);
    QRect frame;
    EXPECT_TRUE(eventually([&] {
        frame = desk.frameGeometry(monitor);
        return !frame.isEmpty() && screenRect.contains(frame);
    })) << "the monitor at "
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height()
        << " is not within the screen";

    if (screen.picture != nullptr) {
        QThread::msleep(2500); // a few refreshes: players and rules are in
        QDir().mkpath(QStringLiteral(ONDEL_BIN_DIR "/test-output"));
        EXPECT_TRUE(desk.screenshot(QStringLiteral(ONDEL_BIN_DIR "/test-output/") +
                                    QString::fromLatin1(screen.picture)));
    }

    // The window manager can make it smaller, and larger again (even sizes: at twice the scale
    // the window is made of whole logical pixels).
    const QSize before = desk.windowSize(monitor);
    for (const QSize& target : {before - QSize(120, 120), before - QSize(60, 80)}) {
        desk.xdotool({QStringLiteral("windowsize"), monitor, QString::number(target.width()),
                      QString::number(target.height())});
        EXPECT_TRUE(eventually([&] { return desk.windowSize(monitor) == target; }))
            << "asked for " << target.width() << "x" << target.height() << ", got "
            << desk.windowSize(monitor).width() << "x" << desk.windowSize(monitor).height();
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, DesktopMonitorFit,
                         ::testing::Values(Screen{"2", QSize(1600, 1000), "monitor-scale2.png"},
                                           Screen{"1", QSize(1280, 720), nullptr}));
