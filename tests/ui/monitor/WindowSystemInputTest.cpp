// The windows as a person uses them while the program runs the way main() runs it: every key
// and click goes through the window system (so a modal window would swallow them), each window
// that opens must hold the keyboard focus, and what is typed must reach the program.
#include "../toolkit/WindowInput.h"
#include "MonitorFixture.h"
#include "app/gui/MonitorWindow.h"
#include "serverlist/ListFiles.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/launch/LaunchSettingsDialog.h"
#include "ui/launch/WaitForSlotDialog.h"
#include "ui/monitor/NewListDialog.h"
#include "ui/monitor/RenameListDialog.h"
#include "ui/rcon/RconConsole.h"
#include "ui/toolkit/UiPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMenuBar>
#include <QPlainTextEdit>

using namespace ondel;
using namespace ondel::test;

namespace {

class WindowSystemInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ONDEL_SETTINGS", (m_dir.path() + QStringLiteral("/Ondel.conf")).toLocal8Bit());
    }
    void TearDown() override { qunsetenv("ONDEL_SETTINGS"); }

    // One run of the program on serverText with a real prompt; drive works the window from
    // inside its loop. Whatever drive leaves open, the run ends afterwards.
    void run(const QString& serverText, const std::function<void(MonitorDialog&)>& drive) {
        UiPrompt prompt;
        Application app(prompt, (m_dir.path() + QStringLiteral("/")).toStdString());
        ASSERT_TRUE(app.start());
        m_app = &app;
        bool driven = false;
        runMonitorWindow(app, prompt, serverText, [&](MonitorDialog& d) {
            driven = true;
            EXPECT_TRUE(input::waitForFocus(&d));
            drive(d);
            if (d.isVisible())
                input::key(&d, Qt::Key_Escape);
            if (d.isVisible()) {
                ADD_FAILURE() << "Esc did not end the monitor window";
                d.reject();
            }
        });
        m_app = nullptr;
        EXPECT_TRUE(driven);
    }

    QTemporaryDir m_dir;
    Application* m_app = nullptr;
};

QMenuBar* menuBar(MonitorDialog& d) {
    return d.findChild<QMenuBar*>();
}

// Ends a dialog that the keys did not end, so that a failing test does not hang in its loop.
void endIfOpen(QDialog& dialog, const char* what) {
    if (dialog.isVisible()) {
        ADD_FAILURE() << what << " is still open";
        dialog.reject();
    }
}

} // namespace

TEST_F(WindowSystemInput, ConsoleFromTheMenuTakesTheKeyboardAndSendsStatus) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--rcon-password"), QStringLiteral("pw"),
                           QStringLiteral("--name"), QStringLiteral("Typed At")},
                          false));
    run(sim.address(), [&](MonitorDialog& d) {
        // "&File", then the second entry, "Rcon-Console ...", all by keyboard.
        input::key(&d, Qt::Key_F, Qt::AltModifier);
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        input::key(menu, Qt::Key_Down);
        input::key(menu, Qt::Key_Return);
        RconConsole* console = topLevelWindow<RconConsole>();
        ASSERT_NE(console, nullptr);
        auto* command = findControl<QLineEdit>(console, RconConsole::kCommand);
        auto* password = findControl<QLineEdit>(console, RconConsole::kPassword);
        auto* output = findControl<QPlainTextEdit>(console, RconConsole::kOutput);
        // In front of the monitor, the typing going to the command field.
        ASSERT_TRUE(input::waitForFocus(console));
        EXPECT_EQ(QApplication::focusWidget(), command);
        ASSERT_TRUE(test::waitFor([&] {
            return findControl<QLineEdit>(console, RconConsole::kChallenge)->text() != "-";
        }));

        input::click(password);
        input::type(console, "pw");
        input::click(command);
        input::type(console, "status");
        input::key(console, Qt::Key_Return);
        EXPECT_EQ(password->text(), QStringLiteral("pw"));
        EXPECT_EQ(command->text(), QStringLiteral("status"));

        static const QRegularExpression received(
            QStringLiteral("Rcon: \"rcon \\d+ \"?pw\"? status\" from \"127\\.0\\.0\\.1:"));
        EXPECT_TRUE(test::waitFor([&] { return sim.errorOutput().contains(received); }))
            << sim.errorOutput().toStdString();
        EXPECT_TRUE(test::waitFor([&] {
            return output->toPlainText().contains(QStringLiteral("hostname:  Typed At"));
        })) << output->toPlainText().toStdString();

        // Esc hides the console; the monitor takes the keyboard again and Esc there ends the run.
        input::key(console, Qt::Key_Escape);
        EXPECT_FALSE(console->isVisible());
        d.activateWindow();
    });
}

TEST_F(WindowSystemInput, ListDialogsAreTypedIntoAndTheirListsSaved) {
    run({}, [&](MonitorDialog& d) {
        auto watchNew = input::whenShown<NewListDialog>([](NewListDialog& dialog) {
            EXPECT_TRUE(input::waitForFocus(&dialog));
            input::type(&dialog, "team"); // the file name is selected: typing replaces it
            input::key(&dialog, Qt::Key_Tab);
            input::type(&dialog, "Team list");
            input::key(&dialog, Qt::Key_Return);
            endIfOpen(dialog, "New server list");
        });
        ASSERT_TRUE(input::clickMenu(menuBar(d), QStringLiteral("Server &List"),
                                     QStringLiteral("&New ...")));
        ASSERT_EQ(m_app->lists().size(), 2u);
        EXPECT_EQ(m_app->lists().at(1).name(), "Team list");

        auto watchRename = input::whenShown<RenameListDialog>([](RenameListDialog& dialog) {
            EXPECT_TRUE(input::waitForFocus(&dialog));
            input::type(&dialog, "Renamed");
            input::click(findControl<QWidget>(&dialog, 1)); // OK, with the mouse
            endIfOpen(dialog, "Rename");
        });
        ASSERT_TRUE(input::clickMenu(menuBar(d), QStringLiteral("Server &List"),
                                     QStringLiteral("&Rename ...")));
        EXPECT_EQ(m_app->lists().current().name(), "Renamed");
    });
    // The new list in its own file, the renamed custom list in its file.
    for (auto [file, name] :
         {std::pair{"/team.sl06", "Team list"}, std::pair{"/serverlist.sl06", "Renamed"}}) {
        ListFileRead read = readListFile(m_dir.path().toStdString() + file);
        ASSERT_EQ(read.status, ListFileStatus::Read) << file;
        EXPECT_EQ(read.contents.name.value_or(""), name);
    }
}

TEST_F(WindowSystemInput, LaunchSettingsAreTypedIntoAndStoredOnEnter) {
    run({}, [&](MonitorDialog& d) {
        auto watch = input::whenShown<LaunchSettingsDialog>([](LaunchSettingsDialog& dialog) {
            EXPECT_TRUE(input::waitForFocus(&dialog));
            input::click(findControl<QLineEdit>(&dialog, LaunchSettingsDialog::kDirectoryId));
            input::type(&dialog, "/games/hl");
            input::click(findControl<QCheckBox>(&dialog, 1049)); // -win
            input::click(findControl<QLineEdit>(&dialog, LaunchSettingsDialog::kAdditionalId));
            input::type(&dialog, "-dev");
            input::key(&dialog, Qt::Key_Return);
            endIfOpen(dialog, "Settings");
        });
        input::key(&d, Qt::Key_S, Qt::AltModifier); // "&Settings", its first entry
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        input::key(menu, Qt::Key_Return);
        EXPECT_EQ(settings::read(m_app->settings(), settings::kHlDir), "/games/hl");
        EXPECT_EQ(settings::read(m_app->settings(), settings::kParameters), "-console -win -dev");
    });
}

TEST_F(WindowSystemInput, WaitForSlotTakesEscapeAndNothingStarts) {
    Hlsim sim;
    ASSERT_TRUE(sim.start({QStringLiteral("--players"), QStringLiteral("16"),
                           QStringLiteral("--max-players"), QStringLiteral("16")}));
    run(sim.address(), [&](MonitorDialog& d) {
        ASSERT_TRUE(test::waitFor([&] { return d.workingCopy().infoValid; }));
        bool shown = false;
        auto watch = input::whenShown<WaitForSlotDialog>([&](WaitForSlotDialog& dialog) {
            shown = true;
            EXPECT_TRUE(input::waitForFocus(&dialog));
            input::key(&dialog, Qt::Key_Escape); // the server is full: only Cancel ends it
            endIfOpen(dialog, "Wait for free Slot");
        });
        input::key(&d, Qt::Key_F, Qt::AltModifier); // "&File", "&Connect ..."
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        input::key(menu, Qt::Key_Return);
        EXPECT_TRUE(shown);
        EXPECT_EQ(m_app->engine().currentServer().lastConnected, 0);
        EXPECT_TRUE(refreshTimer(d)->isActive()); // no game runs: the refresh goes on
    });
}
