// The console window driven through a fake engine port: layout, keyboard, hiding, rendering
// into the text box and scrolling.
#include "ui/rcon/RconConsole.h"
#include "../../QtWait.h"
#include "../toolkit/FakeUiPrompt.h"
#include "../toolkit/WindowInput.h"
#include "rcon/ConsoleLog.h"
#include "rcon/RconConsoleLayout.h"
#include "rcon/RconProtocol.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/SizeGripCtrl.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QThread>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace ondel;
using ondel::test::waitFor;

namespace {

class FakePort : public RconPort {
public:
    SendStatus sendOutOfBand(std::string_view text) override {
        if (status == SendStatus::Sent)
            sent.emplace_back(text);
        return status;
    }
    SendStatus status = SendStatus::Sent;
    const ServerEntry& currentServer() const override { return server; }
    void setCurrentServer(const ServerEntry& entry) override { server = entry; }
    void setPrintHandler(PrintHandler h) override { handler = std::move(h); }
    void clearPrintHandler() override { handler = nullptr; }

    void print(std::string_view text) {
        ASSERT_TRUE(handler);
        handler(text);
    }

    ServerEntry server;
    PrintHandler handler;
    std::vector<std::string> sent;
};

template <typename T> T* control(QWidget* console, int id) {
    T* c = findControl<T>(console, id);
    EXPECT_NE(c, nullptr) << "control " << id;
    return c;
}

void pressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// New text is drawn once the events of the moment have been handled.
void settle() {
    QApplication::processEvents();
}

std::string shownText(RconConsole& console) {
    settle();
    return control<QPlainTextEdit>(&console, RconConsole::kOutput)->toPlainText().toStdString();
}

// What the text box must hold: the full rendering with its CR LF shown as line breaks.
std::string expectedText(const ConsoleLog& log) {
    std::string all = ConsoleLog::renderAll(log.entries(), log.options());
    std::string out;
    for (char c : all)
        if (c != '\r')
            out += c;
    return out;
}

} // namespace

TEST(RconConsoleWindow, OpeningRegistersTheReceiverAndAsksForANumber) {
    FakePort port;
    {
        RconConsole console(port, 7130);
        EXPECT_TRUE(port.handler);
        ASSERT_EQ(port.sent.size(), 1u);
        EXPECT_EQ(port.sent[0], "challenge rcon\n");
        EXPECT_EQ(control<QLineEdit>(&console, RconConsole::kChallenge)->text(), "-");
        EXPECT_TRUE(control<QCheckBox>(&console, RconConsole::kShowDateTime)->isChecked());
        EXPECT_FALSE(control<QCheckBox>(&console, RconConsole::kShowEmptyLines)->isChecked());
        EXPECT_FALSE(control<QCheckBox>(&console, RconConsole::kConvertLog)->isChecked());
        EXPECT_FALSE(control<QCheckBox>(&console, RconConsole::kOldProtocol)->isChecked());
        EXPECT_EQ(control<QLineEdit>(&console, RconConsole::kPassword)->echoMode(),
                  QLineEdit::Password);
    }
    EXPECT_FALSE(port.handler); // gone with the window
}

TEST(RconConsoleWindow, ResizingMovesEveryControlByItsShareOfTheGrowth) {
    FakePort port;
    RconConsole console(port, 7130);
    console.show();
    const QSize initial = console.size();
    EXPECT_EQ(console.minimumSize(), initial);

    std::map<int, QRect> before;
    for (const auto& anchor : rconConsoleLayout())
        before[anchor.controlId] = control<QWidget>(&console, anchor.controlId)->geometry();
    SizeGripCtrl* grip = console.sizeGrip();
    ASSERT_NE(grip, nullptr);
    EXPECT_EQ(controlIdOf(grip), 59936);
    EXPECT_EQ(grip->geometry().bottomRight(), console.rect().bottomRight());
    QRect gripBefore = grip->geometry();

    console.resize(initial + QSize(100, 100));
    ASSERT_EQ(console.size(), initial + QSize(100, 100));
    struct Expect {
        int id, dx, dw, dy, dh;
    } expected[] = {
        {2, 100, 0, 100, 0}, {1028, 100, 0, 100, 0}, {1035, 0, 100, 0, 100}, {1027, 0, 100, 100, 0},
        {1038, 75, 0, 0, 0}, {1037, 75, 0, 0, 0},    {1036, 75, 0, 0, 0},    {1039, 75, 0, 0, 0},
        {1029, 25, 0, 0, 0}, {1040, 25, 0, 0, 0},    {1031, 25, 0, 0, 0},    {1033, 25, 0, 0, 0},
        {1042, 50, 0, 0, 0}, {1041, 50, 0, 0, 0},    {1034, 50, 0, 0, 0},    {1032, 50, 0, 0, 0},
        {1057, 50, 0, 0, 0},
    };
    for (const auto& e : expected) {
        QRect now = control<QWidget>(&console, e.id)->geometry();
        const QRect& was = before[e.id];
        EXPECT_EQ(now.x() - was.x(), e.dx) << e.id;
        EXPECT_EQ(now.width() - was.width(), e.dw) << e.id;
        EXPECT_EQ(now.y() - was.y(), e.dy) << e.id;
        EXPECT_EQ(now.height() - was.height(), e.dh) << e.id;
    }
    EXPECT_EQ(grip->geometry(), gripBefore.translated(100, 100));

    // Back to the first size: every control is where the template put it.
    console.resize(initial);
    for (const auto& anchor : rconConsoleLayout())
        EXPECT_EQ(control<QWidget>(&console, anchor.controlId)->geometry(),
                  before[anchor.controlId])
            << anchor.controlId;
    // Never smaller than the template.
    console.resize(initial - QSize(50, 50));
    EXPECT_EQ(console.size(), initial);
}

TEST(RconConsoleWindow, EnterSendsTheCommandAndSelectsIt) {
    FakePort port;
    port.server.rconChallenge = 4711;
    RconConsole console(port, 7130);
    console.show();
    control<QLineEdit>(&console, RconConsole::kPassword)->setText("secret");
    QLineEdit* command = control<QLineEdit>(&console, RconConsole::kCommand);
    command->setText("status");
    pressKey(command, Qt::Key_Return);
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[1], "rcon 4711 \"secret\" status");
    EXPECT_EQ(command->selectedText(), "status");
    ASSERT_EQ(console.consoleLog().size(), 1u); // the command, as a line of its own
    EXPECT_TRUE(console.consoleLog().entries()[0].sentCommand);

    // Enter in a check box sends as well: it is the window's default command.
    pressKey(control<QCheckBox>(&console, RconConsole::kConvertLog), Qt::Key_Enter);
    EXPECT_EQ(port.sent.size(), 3u);
    pressKey(control<QPlainTextEdit>(&console, RconConsole::kOutput), Qt::Key_Return);
    EXPECT_EQ(port.sent.size(), 4u);
    pressKey(control<QPlainTextEdit>(&console, RconConsole::kConsoleAddress), Qt::Key_Return);
    EXPECT_EQ(port.sent.size(), 5u);
}

TEST(RconConsoleWindow, WithoutANumberTheNewProtocolRefusesWithAMessageLine) {
    FakePort port;
    RconConsole console(port, 7130);
    console.show();
    control<QLineEdit>(&console, RconConsole::kCommand)->setText("status");
    control<QPushButton>(&console, RconConsole::kSend)->click();
    EXPECT_EQ(port.sent.size(), 1u); // only the challenge request
    ASSERT_EQ(console.consoleLog().size(), 1u);
    EXPECT_EQ(console.consoleLog().entries()[0].text,
              "Ondel ERROR: Cannot send rcon command, because no rcon challenge number "
              "received!!!");

    control<QCheckBox>(&console, RconConsole::kOldProtocol)->setChecked(true);
    control<QPushButton>(&console, RconConsole::kSend)->click();
    ASSERT_EQ(port.sent.size(), 2u);
    EXPECT_EQ(port.sent[1], "rcon \"\" status");

    control<QLineEdit>(&console, RconConsole::kCommand)->setText(QString(1100, QLatin1Char('x')));
    control<QPushButton>(&console, RconConsole::kSend)->click();
    EXPECT_EQ(port.sent.size(), 2u);
    EXPECT_NE(console.consoleLog().entries().back().text.find("longer than 1019"),
              std::string::npos);
}

TEST(RconConsoleWindow, CloseOnlyHidesAndEntriesKeepArriving) {
    FakePort port;
    RconConsole console(port, 7130);
    console.show();
    control<QPushButton>(&console, RconConsole::kClose)->click();
    EXPECT_TRUE(console.isHidden());
    port.print("while hidden\n");
    console.show();
    pressKey(control<QLineEdit>(&console, RconConsole::kCommand), Qt::Key_Escape);
    EXPECT_TRUE(console.isHidden());
    ASSERT_TRUE(port.handler);
    control<QCheckBox>(&console, RconConsole::kShowDateTime)->setChecked(false);
    EXPECT_EQ(shownText(console), "while hidden\n");
}

TEST(RconConsoleWindow, TextBoxHoldsTheFullRenderingAfterEveryChange) {
    FakePort port;
    RconConsole console(port, 7130);
    const char* texts[] = {
        "one\n",
        "",
        "two\nthree\n",
        "\n",
        "og L 01/01/2014 - 01:25:17: Rcon: \"rcon 5 \"p\" status\" from \"1.2.3.4:5\"\n",
        "M\xFCller\n",
        "a\r\nb\n",
    };
    QCheckBox* boxes[] = {control<QCheckBox>(&console, RconConsole::kShowDateTime),
                          control<QCheckBox>(&console, RconConsole::kShowEmptyLines),
                          control<QCheckBox>(&console, RconConsole::kConvertLog)};
    int step = 0;
    for (const char* text : texts) {
        port.print(text);
        ASSERT_EQ(shownText(console), expectedText(console.consoleLog())) << step;
        boxes[step % 3]->toggle();
        ASSERT_EQ(shownText(console), expectedText(console.consoleLog())) << step;
        ++step;
    }
    boxes[0]->setChecked(false);
    boxes[2]->setChecked(true);
    EXPECT_NE(shownText(console).find("1.2.3.4:5: status\n"), std::string::npos);
    EXPECT_NE(shownText(console).find("M\xC3\xBCller\n"), std::string::npos);
}

TEST(RconConsoleWindow, DroppedHistoryLeavesTheLatestLinesAndSaysHowMany) {
    FakePort port;
    RconConsole console(port, 7130);
    console.resize(400, 300);
    console.show();
    console.setHistoryLimit(40);
    auto notice = [&] {
        const ConsoleLog& log = console.consoleLog();
        return log.droppedCount() == 0
                   ? std::string()
                   : "[" + std::to_string(log.droppedCount()) +
                         " older messages dropped: the console keeps the latest 40]\n";
    };
    auto* output = control<QPlainTextEdit>(&console, RconConsole::kOutput);
    QScrollBar* bar = output->verticalScrollBar();
    std::string firstShown;
    for (int i = 0; i < 130; ++i) {
        // Two lines, and characters of one, two and four bytes (a UTF-16 surrogate pair).
        std::string n = std::to_string(i);
        port.print("m" + n + " \xC3\xA9\xF0\x9F\x98\x80\nsecond " + n + "\n");
        ASSERT_EQ(shownText(console), notice() + expectedText(console.consoleLog())) << i;
        if (i == 110) {
            bar->setValue(60);
            firstShown = output->cursorForPosition(QPoint(0, 0)).block().text().toStdString();
        }
    }
    EXPECT_GT(console.consoleLog().droppedCount(), 0u);
    EXPECT_LE(console.consoleLog().size(), 40u);
    // A view scrolled away from the end still starts at the same line.
    EXPECT_EQ(output->cursorForPosition(QPoint(0, 0)).block().text().toStdString(), firstShown);

    control<QCheckBox>(&console, RconConsole::kShowDateTime)->toggle(); // full rebuild
    EXPECT_EQ(shownText(console), notice() + expectedText(console.consoleLog()));
}

TEST(RconConsoleWindow, ViewFollowsNewTextOnlyWhenAtTheEnd) {
    FakePort port;
    RconConsole console(port, 7130);
    console.show();
    QScrollBar* bar = control<QPlainTextEdit>(&console, RconConsole::kOutput)->verticalScrollBar();
    for (int i = 0; i < 200; ++i)
        port.print("line " + std::to_string(i) + "\n");
    settle();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(10);
    port.print("more\n");
    settle();
    EXPECT_EQ(bar->value(), 10);
    control<QCheckBox>(&console, RconConsole::kShowDateTime)->toggle(); // full rebuild
    EXPECT_EQ(bar->value(), 10);

    bar->setValue(bar->maximum());
    int oldMax = bar->maximum();
    port.print("last\n");
    settle();
    EXPECT_GT(bar->maximum(), oldMax);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(RconConsoleWindow, NumberFieldFollowsTheServerRecord) {
    FakePort port;
    RconConsole console(port, 7130);
    QLineEdit* number = control<QLineEdit>(&console, RconConsole::kChallenge);
    port.server.rconChallenge = 815;
    EXPECT_TRUE(waitFor([&] { return number->text() == "815"; }));
    control<QPushButton>(&console, RconConsole::kRequestNumber)->click();
    EXPECT_EQ(number->text().toStdString(), "-");
    EXPECT_EQ(port.sent.back(), "challenge rcon\n");
}

// Through the window system, as typed: the title names the server; Up walks back to an earlier
// command, which Enter sends again; the history is there for the next console of the server.
TEST(RconConsoleWindow, TitleNamesTheServerAndUpRecallsEarlierCommands) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string file = dir.filePath(QStringLiteral("rcon-history.txt")).toStdString();
    FakePort port;
    port.server.address = {"127.0.0.1", 27015};
    port.server.rconChallenge = 9;
    port.server.infoValid = true;
    port.server.hostName = "Frag <b>Fest</b>";
    {
        RconConsole console(port, 7130);
        console.setCommandHistoryFile(file);
        console.show();
        console.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(console.windowHandle()));
        EXPECT_EQ(console.windowTitle(),
                  QStringLiteral("Rcon Console - 127.0.0.1:27015 - Frag <b>Fest</b>"));
        QLineEdit* command = control<QLineEdit>(&console, RconConsole::kCommand);
        ASSERT_TRUE(command->hasFocus());
        test::input::type(&console, "echo one");
        test::input::key(&console, Qt::Key_Return);
        command->clear();
        test::input::type(&console, "echo two");
        test::input::key(&console, Qt::Key_Return);
        test::input::key(&console, Qt::Key_Up);
        test::input::key(&console, Qt::Key_Up);
        EXPECT_EQ(command->text(), QStringLiteral("echo one"));
        test::input::key(&console, Qt::Key_Return);
        ASSERT_EQ(port.sent.size(), 4u);
        EXPECT_EQ(port.sent[3], "rcon 9 \"\" echo one");
        // Each sent command is a line of its own, until the option is turned off.
        EXPECT_NE(shownText(console).find("> echo two\n"), std::string::npos);
        control<QCheckBox>(&console, RconConsole::kShowSentCommands)->click();
        EXPECT_EQ(shownText(console).find("> echo"), std::string::npos);
    }
    RconConsole again(port, 7130);
    again.setCommandHistoryFile(file);
    EXPECT_EQ(again.commandHistory().commands(),
              (std::vector<std::string>{"echo one", "echo two", "echo one"}));
}

// A command that does not go out says why; after a refused password nothing more goes out with
// it unless the user says so in the question.
TEST(RconConsoleWindow, UnsentCommandsAndRefusedPasswordsAreExplained) {
    FakePort port;
    port.server.rconChallenge = 9;
    test::FakeUiPrompt prompt;
    RconConsole console(port, 7130);
    console.setPrompt(&prompt);
    console.show();
    QLineEdit* command = control<QLineEdit>(&console, RconConsole::kCommand);
    control<QLineEdit>(&console, RconConsole::kPassword)->setText("wrong");
    command->setText("status");

    port.status = RconPort::SendStatus::Held;
    pressKey(command, Qt::Key_Return);
    EXPECT_NE(shownText(console).find(rcon::kHeldMessage), std::string::npos);
    port.status = RconPort::SendStatus::Failed;
    pressKey(command, Qt::Key_Return);
    EXPECT_NE(shownText(console).find(rcon::kSendFailedMessage), std::string::npos);
    port.status = RconPort::SendStatus::Sent;

    pressKey(command, Qt::Key_Return);
    ASSERT_EQ(port.sent.size(), 2u);
    port.print("Bad rcon_password.\n");
    EXPECT_NE(shownText(console).find("ban an address after 5"), std::string::npos);

    prompt.answers = {Prompt::Answer::No};
    pressKey(command, Qt::Key_Return);
    EXPECT_EQ(port.sent.size(), 2u);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_NE(prompt.messages[0].text.find("5 refused passwords within 30 s"), std::string::npos);
    prompt.answers = {Prompt::Answer::Yes};
    pressKey(command, Qt::Key_Return);
    EXPECT_EQ(port.sent.size(), 3u);
    port.print("Bad rcon_password.\n");
    control<QLineEdit>(&console, RconConsole::kPassword)->setText("right");
    pressKey(command, Qt::Key_Return);
    EXPECT_EQ(port.sent.size(), 4u);
    EXPECT_EQ(prompt.messages.size(), 2u); // no question for another password
}
