// Every dialog and menu used by keyboard alone and read by a screen reader: fields named by their
// labels, Tab leaving multi-line fields, read-only lines out of the Tab chain, Esc closing, and
// an access key on every menu item, once per menu.
#include "../toolkit/WindowInput.h"
#include "MonitorFixture.h"
#include "master/MasterRecord.h"
#include "ui/browser/BlocklistDialog.h"
#include "ui/browser/BrowserWindow.h"
#include "ui/browser/WatchListDialog.h"
#include "ui/discover/FindServersDialog.h"
#include "ui/history/HistoryWindow.h"
#include "ui/launch/LaunchSettingsDialog.h"
#include "ui/launch/WaitForSlotDialog.h"
#include "ui/master/MessageDialog.h"
#include "ui/monitor/NewListDialog.h"
#include "ui/monitor/RenameListDialog.h"
#include "ui/toolkit/AboutDialog.h"

#include <QAbstractSpinBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

using namespace ondel;
using namespace ondel::test;

namespace {

// The access key a menu text marks ('&' before anything but another '&'), lower case; null when
// there is none.
QChar accessKey(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i;
    }
    return {};
}

// Checks the items of one menu (or bar) and the menus below them; returns how many items with
// that control id were seen.
int checkMenu(const QList<QAction*>& actions, const QString& where, int controlId) {
    int seen = 0;
    QSet<QChar> keys;
    for (QAction* a : actions) {
        if (a->isSeparator())
            continue;
        const QString item = where + QStringLiteral(" > ") + a->text();
        const QChar key = accessKey(a->text());
        EXPECT_FALSE(key.isNull()) << item.toStdString() << ": no access key";
        EXPECT_FALSE(keys.contains(key)) << item.toStdString() << ": its access key is taken";
        keys.insert(key);
        if (a->property("controlId").toInt() == controlId)
            ++seen;
        if (a->menu() != nullptr)
            seen += checkMenu(a->menu()->actions(), item, controlId);
    }
    return seen;
}

bool namedByLabel(QWidget* field, QWidget* top) {
    if (!field->accessibleName().isEmpty())
        return true;
    for (QLabel* label : top->findChildren<QLabel*>())
        if (label->buddy() == field && !label->text().isEmpty())
            return true;
    return false;
}

// The keyboard and naming rules for the fields of one open dialog.
void checkFields(QDialog& dialog, const std::string& name) {
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&dialog))
            continue;
        auto* plain = qobject_cast<QPlainTextEdit*>(w);
        auto* rich = qobject_cast<QTextEdit*>(w);
        auto* line = qobject_cast<QLineEdit*>(w);
        // The line edit inside a combo box or spin box is named with its owner.
        if (line != nullptr && (qobject_cast<QComboBox*>(w->parentWidget()) != nullptr ||
                                qobject_cast<QAbstractSpinBox*>(w->parentWidget()) != nullptr))
            continue;
        bool editable = false;
        if (plain != nullptr || rich != nullptr) {
            editable = plain != nullptr ? !plain->isReadOnly() : !rich->isReadOnly();
            const bool tabLeaves =
                plain != nullptr ? plain->tabChangesFocus() : rich->tabChangesFocus();
            EXPECT_TRUE(tabLeaves || !editable)
                << name << ": Tab types into " << w->metaObject()->className();
        } else if (line != nullptr) {
            editable = !line->isReadOnly();
            EXPECT_TRUE(editable || !(line->focusPolicy() & Qt::TabFocus))
                << name << ": read-only field \"" << line->text().toStdString()
                << "\" is in the Tab chain";
        } else {
            editable = qobject_cast<QComboBox*>(w) != nullptr ||
                       qobject_cast<QAbstractSpinBox*>(w) != nullptr;
        }
        EXPECT_TRUE(!editable || namedByLabel(w, &dialog))
            << name << ": a " << w->metaObject()->className() << " without a name";
    }
}

} // namespace

class KeyboardUse : public MonitorFixture {};

TEST_F(KeyboardUse, DialogsAndMenus) {
    openWindow([this](Application& app) {
        ServerEntry e;
        e.address = parseAddress("192.0.2.5:27015");
        e.hostName = "A & B";
        app.lists().current().storeEntry(e);
        app.lists().append(ServerList(dataDir() + "clan.sl06", "clan.sl06", "Tom & Jerry"));
        app.lists().append(ServerList(dataDir() + "more.sl06", "more.sl06", "More"));
    });
    const ServerEntry none;
    MasterMessage message;
    message.title = "News";
    message.text = "A long message\r\nin two lines";
    message.link = "https://ondel.invalid/";

    using Make = std::function<std::unique_ptr<QDialog>()>;
    const std::pair<const char*, Make> dialogs[] = {
        {"Settings",
         [&] {
             return std::make_unique<LaunchSettingsDialog>(m_app->settings(), m_prompt,
                                                           m_dialog.get());
         }},
        {"Find Servers",
         [&] {
             return std::make_unique<FindServersDialog>(m_app->settings(), m_app->lists(),
                                                        dataDir(), m_prompt, m_dialog.get());
         }},
        {"Blocklist",
         [&] { return std::make_unique<BlocklistDialog>(dataDir() + "blocklist.txt"); }},
        {"Watch players",
         [&] {
             return std::make_unique<WatchListDialog>(std::vector<std::string>{"one"},
                                                      m_dialog.get());
         }},
        {"New server list", [&] { return std::make_unique<NewListDialog>(m_dialog.get()); }},
        {"Rename server list",
         [&] {
             return std::make_unique<RenameListDialog>(QStringLiteral("clan.sl06"),
                                                       QStringLiteral("Clan"), m_dialog.get());
         }},
        {"Message", [&] { return std::make_unique<MessageDialog>(message, m_dialog.get()); }},
        {"About", [&] { return std::make_unique<AboutDialog>(m_dialog.get(), &m_prompt); }},
        {"Wait for free Slot",
         [&] {
             return std::make_unique<WaitForSlotDialog>(
                 [&none]() -> const ServerEntry& { return none; }, m_app->clock(), m_dialog.get());
         }},
    };
    for (const auto& [name, make] : dialogs) {
        std::unique_ptr<QDialog> dialog = make();
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(input::waitForFocus(dialog.get())) << name;
        checkFields(*dialog, name);
        input::key(dialog.get(), Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible()) << name << ": Esc did not close it";
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << name;
    }

    // The monitor's menus (History included, when there is a history), and the browser's menu
    // of a server with its list of lists.
    const int historyItems = checkMenu(m_dialog->findChild<QMenuBar*>()->actions(),
                                       QStringLiteral("monitor"), HistoryWindow::kHistoryCommand);
    EXPECT_EQ(historyItems, m_app->history() != nullptr ? 1 : 0);
    BrowserWindow* browser = m_dialog->openBrowser();
    ASSERT_NE(browser, nullptr);
    std::unique_ptr<QMenu> menu = browser->contextMenuFor(0);
    ASSERT_NE(menu, nullptr);
    checkMenu(menu->actions(), QStringLiteral("browser"), 0);
    QMenu* lists = nullptr;
    for (QAction* a : menu->actions())
        if (a->menu() != nullptr)
            lists = a->menu();
    ASSERT_NE(lists, nullptr);
    ASSERT_EQ(lists->actions().size(), 2);
    EXPECT_EQ(input::shownText(lists->actions()[0]), QStringLiteral("1 Tom & Jerry (clan.sl06)"));
}

// Through the window system: Tab in the blocklist's text moves on instead of typing a tab, and
// Esc closes the dialog without writing.
TEST_F(KeyboardUse, TabLeavesTheBlocklistTextAndEscCloses) {
    openWindow();
    const std::string path = dataDir() + "blocklist.txt";
    BlocklistDialog dialog(path, m_dialog.get());
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(input::waitForFocus(&dialog));
    dialog.editor()->setFocus();
    input::type(&dialog, "203.0.113.7");
    input::key(&dialog, Qt::Key_Tab);
    EXPECT_EQ(dialog.editor()->toPlainText(), QStringLiteral("203.0.113.7"));
    EXPECT_EQ(QApplication::focusWidget(), dialog.okButton());
    input::key(&dialog, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.editor());
    input::key(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}
