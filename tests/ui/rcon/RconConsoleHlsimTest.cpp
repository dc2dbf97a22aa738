// The console opened from the monitor window, talking to the simulator over the program's one
// socket: challenge number, command output, refusals and converted log lines.
#include "../monitor/MonitorFixture.h"
#include "ui/rcon/RconConsole.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

using namespace ondel;
using namespace ondel::test;

namespace {

constexpr int kRconConsoleCommand = 40013;

class RconConsoleAgainstHlsim : public MonitorFixture {
protected:
    // Opens the window on the simulator and the console from the menu.
    RconConsole* openConsole(Hlsim& sim) {
        openWindow();
        m_dialog->setServerText(sim.address());
        QAction* command = m_dialog->commandAction(kRconConsoleCommand);
        EXPECT_TRUE(command != nullptr && command->isEnabled());
        if (command == nullptr)
            return nullptr;
        command->trigger();
        return topLevelWindow<RconConsole>();
    }

    template <typename T> static T* consoleControl(RconConsole* console, int id) {
        return findControl<T>(console, id);
    }

    static QString output(RconConsole* console) {
        return consoleControl<QPlainTextEdit>(console, RconConsole::kOutput)->toPlainText();
    }

    static void sendCommand(RconConsole* console, const QString& password, const QString& text) {
        consoleControl<QLineEdit>(console, RconConsole::kPassword)->setText(password);
        QLineEdit* command = consoleControl<QLineEdit>(console, RconConsole::kCommand);
        command->setText(text);
        pressKey(command, Qt::Key_Return);
    }

    static bool numberArrived(RconConsole* console) {
        QString text = consoleControl<QLineEdit>(console, RconConsole::kChallenge)->text();
        return text != QStringLiteral("-") && !text.isEmpty();
    }
};

} // namespace

TEST_F(RconConsoleAgainstHlsim, OpeningShowsTheChallengeNumberAndStatusArrives) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--rcon-password"), QStringLiteral("pw 1"),
                           QStringLiteral("--name"), QStringLiteral("Console Server")}));
    RconConsole* console = openConsole(sim);
    ASSERT_NE(console, nullptr);
    EXPECT_TRUE(console->isVisible());
    ASSERT_TRUE(waitFor([&] { return numberArrived(console); }));
    QString shown = consoleControl<QLineEdit>(console, RconConsole::kChallenge)->text();
    EXPECT_EQ(shown.toStdString(), std::to_string(m_app->engine().currentServer().rconChallenge));

    sendCommand(console, QStringLiteral("pw 1"), QStringLiteral("status"));
    ASSERT_TRUE(waitFor([&] { return output(console).contains(QStringLiteral("hostname:")); }))
        << output(console).toStdString();
    EXPECT_TRUE(output(console).contains(QStringLiteral("hostname:  Console Server")));
    // Each line starts with the arrival time; continuation lines with two tabs.
    EXPECT_TRUE(output(console).contains(QRegularExpression(
        QStringLiteral("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\thostname:  Console Server\\n"
                       "\\t\\tversion :"),
        QRegularExpression::MultilineOption)))
        << output(console).toStdString();
}

TEST_F(RconConsoleAgainstHlsim, WrongPasswordShowsTheServersAnswer) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--rcon-password"), QStringLiteral("right")}));
    RconConsole* console = openConsole(sim);
    ASSERT_NE(console, nullptr);
    ASSERT_TRUE(waitFor([&] { return numberArrived(console); }));
    consoleControl<QCheckBox>(console, RconConsole::kShowDateTime)->setChecked(false);
    consoleControl<QCheckBox>(console, RconConsole::kShowSentCommands)->setChecked(false);
    sendCommand(console, QStringLiteral("wrong"), QStringLiteral("status"));
    ASSERT_TRUE(waitFor([&] { return !output(console).isEmpty(); }));
    // The server's answer first, then why nothing more goes out with that password.
    EXPECT_TRUE(output(console).startsWith(QStringLiteral("Bad rcon_password.\n")))
        << output(console).toStdString();
}

TEST_F(RconConsoleAgainstHlsim, ConvertedLogLinesShowAddressAndCommand) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--rcon-password"), QStringLiteral("pw")}));
    RconConsole* console = openConsole(sim);
    ASSERT_NE(console, nullptr);
    ASSERT_TRUE(waitFor([&] { return numberArrived(console); }));
    const int localPort = m_app->socket().localPort();
    // The console shows where it listens; the simulator runs on loopback, so that is used here.
    sendCommand(console, QStringLiteral("pw"),
                QStringLiteral("logaddress 127.0.0.1 %1").arg(localPort));
    ASSERT_TRUE(waitFor([&] { return output(console).contains(QStringLiteral("logaddress:")); }));
    sendCommand(console, QStringLiteral("pw"), QStringLiteral("echo hello there"));
    sendCommand(console, QStringLiteral("nope"), QStringLiteral("users"));
    const QString self = QStringLiteral("127.0.0.1:%1").arg(localPort);
    ASSERT_TRUE(waitFor([&] {
        return output(console).contains(QStringLiteral("Bad Rcon: \"rcon "));
    })) << output(console).toStdString();
    // Unconverted, a log line shows as it came, after the time stamp and a tab.
    EXPECT_TRUE(output(console).contains(QStringLiteral("\tog L ")));

    consoleControl<QCheckBox>(console, RconConsole::kShowDateTime)->setChecked(false);
    consoleControl<QCheckBox>(console, RconConsole::kConvertLog)->setChecked(true);
    QStringList lines = output(console).split(QLatin1Char('\n'));
    EXPECT_TRUE(lines.contains(self + QStringLiteral(": echo hello there")))
        << output(console).toStdString();
    EXPECT_TRUE(lines.contains(self + QStringLiteral(" (Bad Rcon): users")))
        << output(console).toStdString();
    EXPECT_FALSE(output(console).contains(QStringLiteral("og L ")));

    // Unconverted again: the raw lines come back, including those of the earlier entries.
    consoleControl<QCheckBox>(console, RconConsole::kConvertLog)->setChecked(false);
    EXPECT_TRUE(output(console).contains(QStringLiteral("og L ")));
}

TEST_F(RconConsoleAgainstHlsim, MenuReplacesTheConsoleAndSelectingAServerClosesIt) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--rcon-password"), QStringLiteral("pw")}));
    RconConsole* first = openConsole(sim);
    ASSERT_NE(first, nullptr);
    QPointer<RconConsole> firstAlive(first);
    m_dialog->commandAction(kRconConsoleCommand)->trigger();
    EXPECT_TRUE(firstAlive.isNull());
    RconConsole* second = topLevelWindow<RconConsole>();
    ASSERT_NE(second, nullptr);
    int consoles = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        consoles += qobject_cast<RconConsole*>(w) != nullptr;
    EXPECT_EQ(consoles, 1);

    QPointer<RconConsole> secondAlive(second);
    m_dialog->setServerText(QStringLiteral("127.0.0.2:27015"));
    EXPECT_TRUE(secondAlive.isNull());
    EXPECT_EQ(topLevelWindow<RconConsole>(), nullptr);
}

TEST_F(RconConsoleAgainstHlsim, PictureAfterStatusAndLogLines) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--rcon-password"), QStringLiteral("pw"),
                           QStringLiteral("--players"), QStringLiteral("3")}));
    RconConsole* console = openConsole(sim);
    ASSERT_NE(console, nullptr);
    ASSERT_TRUE(waitFor([&] { return numberArrived(console); }));
    sendCommand(console, QStringLiteral("pw"),
                QStringLiteral("logaddress 127.0.0.1 %1").arg(m_app->socket().localPort()));
    ASSERT_TRUE(waitFor([&] { return output(console).contains(QStringLiteral("logaddress:")); }));
    sendCommand(console, QStringLiteral("pw"), QStringLiteral("status"));
    sendCommand(console, QStringLiteral("pw"), QStringLiteral("say hello"));
    sendCommand(console, QStringLiteral("guess"), QStringLiteral("status"));
    ASSERT_TRUE(waitFor([&] { return output(console).contains(QStringLiteral("Bad Rcon")); }));
    consoleControl<QCheckBox>(console, RconConsole::kConvertLog)->setChecked(true);
    console->resize(console->size() + QSize(200, 60));
    QApplication::processEvents(); // let the text box lay out for its new size

    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    const QString path = QStringLiteral(ONDEL_TEST_OUTPUT "/rcon-console.png");
    EXPECT_TRUE(console->grab().save(path)) << path.toStdString();
}
