#include "../monitor/MonitorFixture.h"
#include "../toolkit/WindowInput.h"
#include "master/MasterRecord.h"
#include "platform/MasterSession.h"
#include "settings/SettingsStore.h"
#include "ui/master/MessageDialog.h"
#include "ui/rcon/RconConsole.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

using namespace ondel;
using namespace ondel::test;

namespace {

// The two request bodies of a first run, USERID 0 and VERSION with this program's version, as
// mastersim logs them (in hex).
QString hexBody(const std::vector<std::uint8_t>& body) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(body.data()), static_cast<qsizetype>(body.size()))
            .toHex()
            .toUpper());
}
const QString kUserIdZero = QStringLiteral("00000400000000000000FD0000000000");
const QString kVersion = hexBody(encodeVersionRequest("v" ONDEL_VERSION_TEXT));

// One mastersim process (built next to hlsim) on a free loopback port.
class Mastersim {
public:
    bool start(const QStringList& args) {
        QString path = QStringLiteral(HLSIM_PATH);
        path.replace(QStringLiteral("tools/hlsim/hlsim"),
                     QStringLiteral("tools/mastersim/mastersim"));
        m_process.setProgram(path);
        m_process.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return false;
        return waitFor([&] {
                   collect();
                   return m_port != 0 || m_process.state() == QProcess::NotRunning;
               }) &&
               m_port != 0;
    }
    ~Mastersim() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    int port() const { return m_port; }
    // The hex bodies of the POST requests received so far.
    QStringList bodies() {
        collect();
        return m_bodies;
    }

private:
    void collect() {
        m_out += m_process.readAllStandardOutput();
        qsizetype nl;
        while ((nl = m_out.indexOf('\n')) >= 0) {
            const QString line = QString::fromLatin1(m_out.left(nl));
            m_out.remove(0, nl + 1);
            static const QString listening = QStringLiteral("mastersim listening on 127.0.0.1:");
            static const QString post = QStringLiteral("request POST /cgi-bin/master/server.pl ");
            if (line.startsWith(listening))
                m_port = line.mid(listening.size()).toInt();
            else if (line.startsWith(post))
                m_bodies << line.mid(post.size());
        }
    }

    QProcess m_process;
    QByteArray m_out;
    int m_port = 0;
    QStringList m_bodies;
};

// Counts the warnings that the session gives when it must leave its worker behind.
std::atomic<int> g_leftBehind{0};
QtMessageHandler g_previousHandler = nullptr;
void countLeftBehind(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.contains(QStringLiteral("master session")))
        ++g_leftBehind;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}

class MasterSessionWindowTest : public MonitorFixture {
protected:
    void TearDown() override {
        m_watch.stop();
        MonitorFixture::TearDown();
        qunsetenv("ONDEL_MASTER_HOST");
    }

    // Every 20 ms: a message window that is open gets answered (inside its own modal loop).
    void answerMessages(bool dontShowAgain) {
        m_watch.disconnect();
        QObject::connect(&m_watch, &QTimer::timeout, [this, dontShowAgain] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* message = qobject_cast<MessageDialog*>(w);
                if (!message || !message->isVisible() || m_answered.contains(message))
                    continue;
                m_answered << message;
                m_titles << message->windowTitle();
                m_ownedByMonitor = m_ownedByMonitor && message->parentWidget() == m_dialog.get();
                m_monitorBlocked = m_monitorBlocked && QApplication::activeModalWidget() == message;
                findControl<QCheckBox>(message, MessageDialog::kDontShowId)
                    ->setChecked(dontShowAgain);
                findControl<QPushButton>(message, 1)->click();
            }
        });
        m_watch.start(20);
    }

    MasterSession* session() const { return m_dialog->findChild<MasterSession*>(); }
    bool sessionEnded() {
        return waitFor([this] { return session()->hasStarted() && !session()->isRunning(); });
    }
    // Ends this run of the window as the program does, keeping the data directory.
    void endRun() {
        m_dialog.reset();
        m_app->finish();
        m_app.reset();
    }
    std::int32_t masterValue(const char* name) const {
        return m_app->settings().readInt("Master Server", name, -99);
    }

    QTimer m_watch;
    QList<QPointer<MessageDialog>> m_answered;
    QStringList m_titles;
    bool m_ownedByMonitor = true;
    bool m_monitorBlocked = true;
};

} // namespace

TEST_F(MasterSessionWindowTest, FirstInfoReplyStartsOneSessionAndItsMessageIsShownOnce) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    Mastersim master;
    ASSERT_TRUE(master.start({"--assign-id", "777", "--message",
                              "5:News:Hello there:https://ondel.invalid/", "--split-writes", "3"}));
    qputenv("ONDEL_MASTER_HOST",
            QByteArray::fromStdString("127.0.0.1:" + std::to_string(master.port())));

    openWindow();
    answerMessages(true);
    ASSERT_FALSE(session()->hasStarted()); // nothing before the first info reply
    m_dialog->setServerText(sim.address());
    ASSERT_TRUE(sessionEnded());
    // mastersim logs a body after answering it: its last line may still be on the way.
    ASSERT_TRUE(waitFor([&] { return master.bodies().size() >= 2; }));
    EXPECT_EQ(master.bodies(), (QStringList{kUserIdZero, kVersion}));
    EXPECT_EQ(m_titles, QStringList{QStringLiteral("News")});
    EXPECT_TRUE(m_ownedByMonitor);
    EXPECT_TRUE(m_monitorBlocked);
    EXPECT_EQ(masterValue("ID"), 777);
    EXPECT_EQ(masterValue("MSG00005"), 1);

    // Many more info replies start nothing more.
    const auto info = m_app->engine().replyCounts().info;
    ASSERT_TRUE(waitFor([&] { return m_app->engine().replyCounts().info >= info + 3; }));
    EXPECT_EQ(master.bodies().size(), 2);

    // The next run announces the assigned number and no longer shows the message.
    endRun();
    openWindow();
    answerMessages(false);
    m_dialog->setServerText(sim.address());
    ASSERT_TRUE(sessionEnded());
    ASSERT_TRUE(waitFor([&] { return master.bodies().size() >= 4; }));
    EXPECT_EQ(master.bodies(),
              (QStringList{kUserIdZero, kVersion,
                           QStringLiteral("00000400000009030000FD0000000000"), kVersion}));
    EXPECT_EQ(m_titles.size(), 1);
}

TEST_F(MasterSessionWindowTest, MessageClosedWithoutTheTickIsShownAgainNextRun) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    Mastersim master;
    ASSERT_TRUE(master.start({"--message", "70000:Again:Text:http://ondel.invalid/"}));
    qputenv("ONDEL_MASTER_HOST",
            QByteArray::fromStdString("127.0.0.1:" + std::to_string(master.port())));
    for (int run = 1; run <= 2; ++run) {
        openWindow();
        answerMessages(false);
        m_dialog->setServerText(sim.address());
        ASSERT_TRUE(sessionEnded());
        EXPECT_EQ(m_titles.size(), run);
        EXPECT_EQ(masterValue("MSG70000"), 0);
        // No USERID record came back: the probe's 1 stays and is announced next time.
        EXPECT_EQ(masterValue("ID"), 1);
        endRun();
    }
    ASSERT_TRUE(waitFor([&] { return master.bodies().size() >= 3; }));
    EXPECT_EQ(master.bodies().value(2), QStringLiteral("00000400000001000000FD0000000000"));
}

TEST_F(MasterSessionWindowTest, UnreachableMasterShowsNothingAndTheWindowGoesOn) {
    // A port that is bound but not listening refuses the connection.
    int bound = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(bound, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(bound, reinterpret_cast<sockaddr*>(&addr), &len);
    qputenv("ONDEL_MASTER_HOST",
            QByteArray::fromStdString("127.0.0.1:" + std::to_string(ntohs(addr.sin_port))));

    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    openWindow();
    answerMessages(true);
    m_dialog->setServerText(sim.address());
    ASSERT_TRUE(sessionEnded());
    EXPECT_TRUE(m_titles.isEmpty());
    EXPECT_TRUE(m_prompt.messages.empty());
    EXPECT_EQ(masterValue("ID"), 1);
    const auto info = m_app->engine().replyCounts().info;
    EXPECT_TRUE(waitFor([&] { return m_app->engine().replyCounts().info >= info + 2; }));
    EXPECT_TRUE(m_dialog->isEnabled());
    ::close(bound);
}

TEST_F(MasterSessionWindowTest, EndingTheProgramWhileAMessageIsOpenEndsCleanly) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    Mastersim master;
    ASSERT_TRUE(master.start({"--message", "9:Bye:Text:https://ondel.invalid/"}));
    qputenv("ONDEL_MASTER_HOST",
            QByteArray::fromStdString("127.0.0.1:" + std::to_string(master.port())));
    g_leftBehind = 0;
    g_previousHandler = qInstallMessageHandler(countLeftBehind);

    openWindow();
    m_dialog->setServerText(sim.address());
    // The program's main loop is the window's modal loop; a quit request while the message is
    // open ends every loop at once.
    bool sawMessage = false;
    QDeadlineTimer deadline(15000);
    QObject::connect(&m_watch, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<MessageDialog*>(w) && w->isVisible())
                sawMessage = true;
        }
        if (sawMessage || deadline.hasExpired())
            QCoreApplication::exit(0);
    });
    m_watch.start(20);
    bool windowLoopEnded = false;
    QTimer::singleShot(0, m_dialog.get(), [&] {
        m_dialog->exec();
        windowLoopEnded = true;
    });
    QCoreApplication::exec();
    m_watch.stop();
    EXPECT_TRUE(sawMessage);
    EXPECT_TRUE(windowLoopEnded);
    m_dialog.reset(); // the session goes with its window
    qInstallMessageHandler(g_previousHandler);
    EXPECT_EQ(g_leftBehind.load(), 0);
    EXPECT_NE(m_app->settings().readInt("Master Server", "MSG00009", 0), 1);
}

TEST_F(MasterSessionWindowTest, MessageTakesKeysAndBlocksOnlyTheMonitor) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({}));
    Mastersim master;
    ASSERT_TRUE(master.start({"--message", "9:Typed:Text:https://ondel.invalid/"}));
    qputenv("ONDEL_MASTER_HOST",
            QByteArray::fromStdString("127.0.0.1:" + std::to_string(master.port())));
    openWindow();
    m_dialog->setServerText(sim.address());
    m_dialog->commandAction(40013)->trigger(); // the console is open when the message comes
    RconConsole* console = topLevelWindow<RconConsole>();
    ASSERT_NE(console, nullptr);
    // The message window runs its own loop: it is worked from inside that loop.
    bool shown = false;
    auto watch = input::whenShown<MessageDialog>([&](MessageDialog& message) {
        shown = true;
        // Through the window system: the console still takes typing, the monitor does not.
        auto* password = findControl<QLineEdit>(console, RconConsole::kPassword);
        input::click(password);
        input::type(password, "pw");
        EXPECT_EQ(password->text(), QStringLiteral("pw"));
        auto* comment = control<QPlainTextEdit>(1018);
        input::click(comment);
        input::type(comment, "x");
        EXPECT_EQ(comment->toPlainText(), QString());

        auto* dontShow = findControl<QCheckBox>(&message, MessageDialog::kDontShowId);
        input::click(dontShow, QPoint(8, dontShow->height() / 2)); // on its box, not beside it
        EXPECT_TRUE(dontShow->isChecked());
        input::key(&message, Qt::Key_Return);
        if (message.isVisible()) {
            ADD_FAILURE() << "Enter did not close the message";
            message.reject();
        }
    });
    ASSERT_TRUE(sessionEnded());
    EXPECT_TRUE(shown);
    EXPECT_EQ(masterValue("MSG00009"), 1);
}
