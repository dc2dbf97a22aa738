// Two runs of the program on one data directory, each the way main() runs it: start-up, the
// monitor window until Esc, the lists saved. What the first run edits must be in the files and
// in the second run's window, except a password kept with "Save" off.
#include "MonitorFixture.h"
#include "app/gui/MonitorWindow.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ListFiles.h"
#include "ui/monitor/NewListDialog.h"
#include "ui/monitor/RenameListDialog.h"
#include "ui/monitor/ServerSelector.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>

using namespace ondel;
using namespace ondel::test;

namespace {

const ServerEntry* find(const listfile::Contents& c, const char* host) {
    for (const ServerEntry& e : c.entries)
        if (e.address == parseAddress(host))
            return &e;
    return nullptr;
}

} // namespace

class TwoRuns : public MonitorFixture {
protected:
    // One whole run: start-up, the window (driven by drive once it is up), Esc, saving.
    // serverText is what the command line gives; closeBox ends the run with the window's close
    // box instead of Esc.
    void run(const std::function<void(MonitorDialog&)>& drive, const QString& serverText = {},
             bool closeBox = false) {
        FakeUiPrompt prompt;
        prompt.dialogHandler = [this](QDialog& d) {
            return m_dialogAnswer ? m_dialogAnswer(d) : 0;
        };
        Application app(prompt, dataDir());
        ASSERT_TRUE(app.start());
        bool driven = false;
        runMonitorWindow(app, prompt, serverText, [&](MonitorDialog& dialog) {
            drive(dialog);
            driven = true;
            if (closeBox)
                dialog.close();
            else
                pressKey(&dialog, Qt::Key_Escape);
        });
        EXPECT_TRUE(driven);
    }
    static void typeServer(MonitorDialog& d, const QString& text) {
        serverSelector(d)->lineEdit()->clear();
        typeKeys(serverSelector(d)->lineEdit(), text);
    }
    std::function<int(QDialog&)> m_dialogAnswer;
};

TEST_F(TwoRuns, EditsOfTheFirstRunAreSavedAndShownInTheSecond) {
    {
        ServerList custom(dataDir() + "serverlist.sl06", "serverlist.sl06",
                          ServerListSet::kCustomListName);
        for (const char* host : {"192.0.2.5:27015", "192.0.2.6:27015"}) {
            ServerEntry e;
            e.address = parseAddress(host);
            custom.storeEntry(e);
        }
        ASSERT_TRUE(writeList(custom, dataDir() + "serverlist.sl06"));
    }

    run([this](MonitorDialog& d) {
        typeServer(d, QStringLiteral("192.0.2.5:27015"));
        auto* comment = findControl<QPlainTextEdit>(&d, 1018);
        comment->insertPlainText(QStringLiteral("first run"));
        findControl<QCheckBox>(&d, 1011)->click(); // Save on
        typeKeys(findControl<QLineEdit>(&d, 1006), QStringLiteral("keep"));
        auto* reservedSlots = findControl<QComboBox>(&d, 1022);
        reservedSlots->setCurrentIndex(6);
        emit reservedSlots->activated(6); // 5 reservedSlots

        typeServer(d, QStringLiteral("192.0.2.6:27015"));
        typeKeys(findControl<QLineEdit>(&d, 1006), QStringLiteral("lose")); // Save stays off

        m_dialogAnswer = [](QDialog& dialog) {
            if (auto* r = dynamic_cast<RenameListDialog*>(&dialog)) {
                r->newNameEdit()->setText(QStringLiteral("Team"));
                return int(QDialog::Accepted);
            }
            if (auto* n = dynamic_cast<NewListDialog*>(&dialog)) {
                n->fileNameEdit()->setText(QStringLiteral("extra"));
                n->nameEdit()->setText(QStringLiteral("Extra list"));
                return int(QDialog::Accepted);
            }
            return int(QDialog::Rejected);
        };
        d.commandAction(kRenameListCommand)->trigger();
        d.commandAction(kNewListCommand)->trigger();
    });

    // The files after the first run.
    ListFileRead custom = readListFile(dataDir() + "serverlist.sl06");
    ASSERT_EQ(custom.status, ListFileStatus::Read);
    EXPECT_EQ(custom.contents.name.value_or(""), "Team");
    const ServerEntry* a = find(custom.contents, "192.0.2.5:27015");
    const ServerEntry* b = find(custom.contents, "192.0.2.6:27015");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->comment, "first run");
    EXPECT_EQ(a->password, "keep");
    EXPECT_TRUE(a->savePassword);
    EXPECT_EQ(a->reservedSlots, 5);
    EXPECT_EQ(b->password, ""); // typed with Save off: kept for the run only
    ListFileRead extra = readListFile(dataDir() + "extra.sl06");
    ASSERT_EQ(extra.status, ListFileStatus::Read);
    EXPECT_EQ(extra.contents.name.value_or(""), "Extra list");

    // The second run shows them; it starts on a server given as on the command line and ends
    // with the close box, which saves as Esc does.
    m_dialogAnswer = nullptr;
    run(
        [](MonitorDialog& d) {
            EXPECT_EQ(serverSelector(d)->currentText(), QStringLiteral("192.0.2.5:27015"));
            EXPECT_EQ(findControl<QPlainTextEdit>(&d, 1018)->toPlainText(),
                      QStringLiteral("first run"));
            EXPECT_EQ(findControl<QLineEdit>(&d, 1006)->text(), QStringLiteral("keep"));
            EXPECT_TRUE(findControl<QCheckBox>(&d, 1011)->isChecked());
            EXPECT_EQ(findControl<QComboBox>(&d, 1022)->currentText(), QStringLiteral("5"));
            QComboBox* lists = listSelector(d);
            EXPECT_EQ(lists->count(), 2);
            EXPECT_TRUE(lists->itemText(0).startsWith(QStringLiteral("Team (")));
            EXPECT_TRUE(lists->itemText(1).startsWith(QStringLiteral("Extra list (")));
            typeServer(d, QStringLiteral("192.0.2.6:27015"));
            EXPECT_EQ(findControl<QLineEdit>(&d, 1006)->text(), QString());
            EXPECT_FALSE(findControl<QCheckBox>(&d, 1011)->isChecked());
            findControl<QPlainTextEdit>(&d, 1018)->insertPlainText(QStringLiteral("second run"));
        },
        QStringLiteral("192.0.2.5:27015"), true);
    custom = readListFile(dataDir() + "serverlist.sl06");
    ASSERT_EQ(custom.status, ListFileStatus::Read);
    b = find(custom.contents, "192.0.2.6:27015");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->comment, "second run");
}
