// The program on a desktop of its own (Xvfb, openbox), used only with xdotool's key presses and
// clicks: the remote console opened from the menu comes up in front with the keyboard, takes a
// password and `status`, hlsim receives the command and the reply shows in the console; after a
// refused password Enter asks before anything more is sent; Esc in the monitor then ends the
// program with the lists saved.
#include "DesktopSession.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

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

// hlsim with the RCON password "pw" and the arguments, not quiet (it logs every RCON command it
// receives on stderr); its HOST:PORT, or empty when it did not come up.
QString startSim(Child& sim, const QStringList& args) {
    sim.process.start(QStringLiteral(ONDEL_BIN_DIR "/tools/hlsim/hlsim"),
                      QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                  QStringLiteral("--rcon-password"), QStringLiteral("pw")} +
                          args);
    QByteArray out;
    static const QRegularExpression listening(
        QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    if (!eventually([&] {
            sim.process.setReadChannel(QProcess::StandardOutput);
            sim.process.waitForReadyRead(50);
            out += sim.process.readAllStandardOutput();
            return listening.match(QString::fromLatin1(out)).hasMatch();
        }))
        return {};
    return QStringLiteral("127.0.0.1:") + listening.match(QString::fromLatin1(out)).captured(1);
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
    const QString server =
        startSim(sim, {QStringLiteral("--name"), QStringLiteral("Desktop Server"),
                       QStringLiteral("--players"), QStringLiteral("3")});
    ASSERT_FALSE(server.isEmpty());

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

    // A wrong password: once the server refused it, Enter asks first, and a hurried Enter in the
    // question (No is its default) sends nothing; only Alt+Y sends again.
    desk.key({QStringLiteral("Tab"), QStringLiteral("ctrl+a")}); // output -> password
    desk.type(QStringLiteral("bad"));
    desk.key({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"),
              QStringLiteral("shift+Tab"), QStringLiteral("ctrl+a")});
    desk.type(QStringLiteral("echo guard"));
    desk.key({QStringLiteral("Return")});
    static const QRegularExpression refused(
        QStringLiteral("Bad Rcon: \"rcon \\d+ \"?bad\"? echo guard\""));
    const auto refusals = [&] { return sim.errorOutput().count(refused); };
    ASSERT_TRUE(eventually([&] { return refusals() == 1; })) << sim.errorOutput().toStdString();
    EXPECT_TRUE(eventually([&] {
        desk.click(console, size.width() / 2, size.height() * 55 / 100);
        desk.key({QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")});
        return desk.clipboard().contains(QStringLiteral("ban an address after 5"));
    })) << desk.clipboard().toStdString();
    desk.click(console, size.width() / 2, size.height() * 55 / 100);
    const auto answerTheQuestion = [&](const QString& key) {
        desk.key({QStringLiteral("Return")});
        const QString question = desk.waitForWindow(QStringLiteral("^Rcon Console$"), 10000);
        ASSERT_FALSE(question.isEmpty()) << "Enter after the refusal asked nothing";
        ASSERT_TRUE(desk.waitForActive(question));
        desk.key({key});
        ASSERT_TRUE(desk.waitForActive(console));
    };
    answerTheQuestion(QStringLiteral("Return"));
    answerTheQuestion(QStringLiteral("alt+y"));
    ASSERT_TRUE(eventually([&] { return refusals() == 2; })) << sim.errorOutput().toStdString();
    // The question again shows the second refusal is in; by then a send of the first Return
    // would have arrived too.
    answerTheQuestion(QStringLiteral("Escape"));
    EXPECT_EQ(refusals(), 2) << sim.errorOutput().toStdString();

    // Esc hides the console; Esc in the monitor ends the program, which saves the lists.
    desk.key({QStringLiteral("Escape")});
    ASSERT_TRUE(desk.waitForActive(monitor));
    desk.key({QStringLiteral("Escape")});
    ASSERT_TRUE(ondel.process.waitForFinished(15000));
    EXPECT_EQ(ondel.process.exitCode(), 0) << ondel.errorOutput().toStdString();
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/serverlist.sl06")));
    EXPECT_FALSE(ondel.errorOutput().contains(QStringLiteral("runtime error")));
}

namespace {

// A D-Bus session of its own (the accessibility bus is started from it on demand), so that a
// program and a screen reader's view of it meet without the user's session.
struct DbusSession {
    Child daemon;
    QString address;
    bool start() {
        daemon.process.start(QStringLiteral("dbus-daemon"),
                             {QStringLiteral("--session"), QStringLiteral("--nofork"),
                              QStringLiteral("--print-address=1")});
        QByteArray out;
        eventually(
            [&] {
                daemon.process.waitForReadyRead(50);
                out += daemon.process.readAllStandardOutput();
                return out.contains('\n');
            },
            10000);
        address = QString::fromUtf8(out).trimmed();
        return !address.isEmpty();
    }
};

// What AT-SPI says (tests/e2e/desktop/atspi_tree.py), or empty when it failed.
QString atspi(const QProcessEnvironment& env, const QStringList& args) {
    QProcess reader;
    reader.setProcessEnvironment(env);
    reader.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(ONDEL_TEST_DATA "/../e2e/desktop/atspi_tree.py")} +
                     args);
    if (!reader.waitForFinished(20000) || reader.exitCode() != 0)
        return {};
    return QString::fromUtf8(reader.readAllStandardOutput());
}

} // namespace

// As a person with a keyboard and a screen reader uses it: the console names its server and
// Up brings an earlier command back; in the browser a click on a row makes that server's
// players and rules readable through AT-SPI, in the browser's own window.
TEST(Desktop, ConsoleHistoryAndBrowserDetailsThroughTheWindowSystem) {
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "no python3 for the AT-SPI reader";
    DesktopSession desk;
    if (!desk.start()) {
        if (desk.xvfbMissing())
            GTEST_SKIP() << desk.error().toStdString();
        FAIL() << desk.error().toStdString();
    }
    DbusSession bus;
    ASSERT_TRUE(bus.start()) << "no dbus-daemon session";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QFile scenario(dir.path() + QStringLiteral("/players.txt"));
        ASSERT_TRUE(scenario.open(QIODevice::WriteOnly));
        scenario.write("join Gordon 3\njoin Alyx 7\n");
    }

    Child sim;
    const QString server =
        startSim(sim, {QStringLiteral("--name"), QStringLiteral("Reader Server"),
                       QStringLiteral("--scenario"), dir.path() + QStringLiteral("/players.txt")});
    ASSERT_FALSE(server.isEmpty());

    QProcessEnvironment env = desk.environment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.insert(QStringLiteral("ONDEL_SETTINGS"), dir.path() + QStringLiteral("/Ondel.conf"));
    env.insert(QStringLiteral("ONDEL_MASTER_HOST"), QString());
    Child ondel;
    ondel.process.setProcessEnvironment(env);
    ondel.process.start(QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel"),
                        {QStringLiteral("--data-dir"), dir.path(), server});
    const QString monitor = desk.waitForWindow(QStringLiteral("^Ondel v"));
    ASSERT_FALSE(monitor.isEmpty()) << ondel.errorOutput().toStdString();
    ASSERT_TRUE(desk.waitForActive(monitor));

    // The console by its access key; its title names the server.
    desk.key({QStringLiteral("alt+f"), QStringLiteral("r")});
    const QString console =
        desk.waitForWindow(QStringLiteral("^Rcon Console - ") + QRegularExpression::escape(server));
    ASSERT_FALSE(console.isEmpty());
    ASSERT_TRUE(desk.waitForActive(console));
    desk.key({QStringLiteral("Tab"), QStringLiteral("Tab"), QStringLiteral("Tab"),
              QStringLiteral("Tab")});
    desk.type(QStringLiteral("pw"));
    desk.key({QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"), QStringLiteral("shift+Tab"),
              QStringLiteral("shift+Tab")});
    const auto received = [&](const char* command) {
        return sim.errorOutput().count(
            QStringLiteral("pw\" %1\" from").arg(QLatin1String(command)));
    };
    desk.type(QStringLiteral("echo one"));
    // Until the challenge number is in, Enter only says there is none.
    ASSERT_TRUE(eventually([&] {
        desk.key({QStringLiteral("Return")});
        return received("echo one") == 1;
    })) << sim.errorOutput().toStdString();
    desk.type(QStringLiteral("echo two")); // replaces the selected command
    desk.key({QStringLiteral("Return")});
    ASSERT_TRUE(eventually([&] { return received("echo two") == 1; }));
    desk.key({QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Return")});
    EXPECT_TRUE(eventually([&] { return received("echo one") == 2; }))
        << sim.errorOutput().toStdString();
    desk.key({QStringLiteral("Escape")});
    ASSERT_TRUE(desk.waitForActive(monitor));

    // The browser by its access keys, refreshed, and a click on the server's row.
    desk.key({QStringLiteral("alt+l"), QStringLiteral("b")});
    const QString browser = desk.waitForWindow(QStringLiteral("^Ondel Browser"));
    ASSERT_FALSE(browser.isEmpty());
    ASSERT_TRUE(desk.waitForActive(browser));
    desk.key({QStringLiteral("F5")});
    QStringList cell;
    ASSERT_TRUE(eventually(
        [&] {
            cell = atspi(env, {QStringLiteral("cell"), QStringLiteral("Servers"),
                               QStringLiteral("0"), QStringLiteral("0")})
                       .split(QLatin1Char(' '));
            return cell.size() == 4;
        },
        30000))
        << "the server table is not readable through AT-SPI";
    desk.xdotool({QStringLiteral("mousemove"),
                  QString::number(cell[0].toInt() + cell[2].toInt() / 2),
                  QString::number(cell[1].toInt() + cell[3].toInt() / 2), QStringLiteral("click"),
                  QStringLiteral("1")});
    QString tree;
    EXPECT_TRUE(eventually(
        [&] {
            tree = atspi(env, {QStringLiteral("dump"), QStringLiteral("Ondel Browser")});
            return tree.contains(QStringLiteral("|Gordon|")) &&
                   tree.contains(QStringLiteral("|Alyx|")) &&
                   tree.contains(QStringLiteral("|mp_timelimit|"));
        },
        30000))
        << tree.toStdString();
    EXPECT_TRUE(tree.startsWith(QStringLiteral("window|frame|Ondel Browser")))
        << tree.left(200).toStdString();
    static const QRegularExpression ping(QStringLiteral("\\|Ping\\|\\d+ \\("));
    EXPECT_TRUE(tree.contains(ping)) << "the Ping field is not read with its label";
    QDir().mkpath(QStringLiteral(ONDEL_BIN_DIR "/test-output"));
    EXPECT_TRUE(desk.screenshot(QStringLiteral(ONDEL_BIN_DIR "/test-output/desktop-browser.png")));

    // Ctrl+W closes the browser; Esc in the monitor ends the program.
    desk.key({QStringLiteral("ctrl+w")});
    ASSERT_TRUE(desk.waitForActive(monitor));
    desk.key({QStringLiteral("Escape")});
    ASSERT_TRUE(ondel.process.waitForFinished(15000));
    EXPECT_EQ(ondel.process.exitCode(), 0);
    EXPECT_FALSE(ondel.errorOutput().contains(QStringLiteral("runtime error")));
}
