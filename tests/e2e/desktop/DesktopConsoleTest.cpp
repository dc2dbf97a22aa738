// The program on a desktop of its own (Xvfb, openbox), used only with xdotool's key presses and
// clicks: the remote console opened from the menu comes up in front with the keyboard, takes a
// password and `status`, hlsim receives the command and the reply shows in the console; Esc in
// the monitor then ends the program with the lists saved.
#include "DesktopSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace ondel::desktoptest;

namespace {

// A process for the test's life, ended at the end.
struct Child {
    QProcess process;
    QByteArray err;
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QString errorOutput() {
        // No event loop runs here: wait on the pipe so that QProcess reads it.
        process.setReadChannel(QProcess::StandardError);
        process.waitForReadyRead(50);
        err += process.readAllStandardError();
        return QString::fromUtf8(err);
    }
};

bool eventually(const std::function<bool()>& condition, int timeoutMs = 15000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
    return true;
}

} // namespace

TEST(Desktop, ConsoleIsTypedIntoFromTheKeyboardAndShowsTheReply) {
    DesktopSession desk;
    if (!desk.start()) {
        if (desk.xvfbMissing())
            GTEST_SKIP() << desk.error().toStdString();
        FAIL() << desk.error().toStdString();
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    Child sim; // not quiet: it logs every RCON command it receives on stderr
    sim.process.start(QStringLiteral(ONDEL_BIN_DIR "/tools/hlsim/hlsim"),
                      {QStringLiteral("--port"), QStringLiteral("0"),
                       QStringLiteral("--rcon-password"), QStringLiteral("pw"),
                       QStringLiteral("--name"), QStringLiteral("Desktop Server"),
                       QStringLiteral("--players"), QStringLiteral("3")});
    QByteArray simOut;
    static const QRegularExpression listening(
        QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    ASSERT_TRUE(eventually([&] {
        sim.process.setReadChannel(QProcess::StandardOutput);
        sim.process.waitForReadyRead(50);
        simOut += sim.process.readAllStandardOutput();
        return listening.match(QString::fromLatin1(simOut)).hasMatch();
    }));
    const QString server =
        QStringLiteral("127.0.0.1:") + listening.match(QString::fromLatin1(simOut)).captured(1);

    Child ondel;
    QProcessEnvironment env = desk.environment();
    env.insert(QStringLiteral("ONDEL_SETTINGS"), dir.path() + QStringLiteral("/Ondel.conf"));
    env.insert(QStringLiteral("ONDEL_MASTER_HOST"), QString()); // no master session
    ondel.process.setProcessEnvironment(env);
    ondel.process.start(QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel"),
                        {QStringLiteral("--data-dir"), dir.path(), server});

    const QString monitor = desk.waitForWindow(QStringLiteral("^Ondel v"));
    ASSERT_FALSE(monitor.isEmpty())
        << "no monitor window; ondel running: " << (ondel.process.state() == QProcess::Running)
        << "\n"
        << ondel.errorOutput().toStdString();
    ASSERT_TRUE(desk.waitForActive(monitor));

    // "&File", its second entry "Rcon-Console ...".
    desk.key({QStringLiteral("alt+f"), QStringLiteral("Down"), QStringLiteral("Return")});
    const QString console = desk.waitForWindow(QStringLiteral("^Rcon Console - 127\\.0\\.0\\.1:"));
    ASSERT_FALSE(console.isEmpty());
    ASSERT_TRUE(desk.waitForActive(console)) << "the console did not come up in front";

    // The focus is in the command field; four Tabs lead to the password (Send, Close, output).
    desk.key({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"),
              QStringLiteral("Tab")});
    desk.type(QStringLiteral("pw"));
    desk.key({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"),
              QStringLiteral("shift+Tab")});
    desk.type(QStringLiteral("status"));
    // Enter sends; until the challenge number is in, the console only says it has none, so
    // Enter is pressed again until the command arrives.
    static const QRegularExpression received(
        QStringLiteral("Rcon: \"rcon \\d+ \"?pw\"? status\" from \"127\\.0\\.0\\.1:"));
    EXPECT_TRUE(eventually([&] {
        desk.key({QStringLiteral("Return")});
        return sim.errorOutput().contains(received);
    })) << sim.errorOutput().toStdString();

    // The reply in the console's output: click into it, select all, copy, read the clipboard.
    const QSize size = desk.windowSize(console);
    ASSERT_GT(size.height(), 0);
    EXPECT_TRUE(eventually([&] {
        desk.click(console, size.width() / 2, size.height() * 55 / 100);
        desk.key({QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")});
        return desk.clipboard().contains(QStringLiteral("hostname:  Desktop Server"));
    })) << desk.clipboard().toStdString();
    desk.click(console, size.width() / 2, size.height() * 55 / 100); // drop the selection
    QDir().mkpath(QStringLiteral(ONDEL_BIN_DIR "/test-output"));
    EXPECT_TRUE(desk.screenshot(QStringLiteral(ONDEL_BIN_DIR "/test-output/desktop-console.png")));

    // Esc hides the console; Esc in the monitor ends the program, which saves the lists.
    desk.key({QStringLiteral("Escape")});
    ASSERT_TRUE(desk.waitForActive(monitor));
    desk.key({QStringLiteral("Escape")});
    ASSERT_TRUE(ondel.process.waitForFinished(15000));
    EXPECT_EQ(ondel.process.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/serverlist.sl06")));
    EXPECT_FALSE(ondel.errorOutput().contains(QStringLiteral("runtime error")));
}
