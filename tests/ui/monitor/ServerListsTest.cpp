#include "../toolkit/WindowInput.h"
#include "MonitorFixture.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ListFiles.h"
#include "settings/SettingsKeys.h"
#include "ui/monitor/NewListDialog.h"
#include "ui/monitor/RenameListDialog.h"
#include "ui/monitor/ServerSelector.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolButton>

using namespace ondel;
using namespace ondel::test;

namespace {

// Documentation addresses: nothing answers there.
ServerEntry entry(const char* host, const char* name, const char* gameDir = "valve") {
    ServerEntry e;
    e.address = parseAddress(host);
    e.hostName = name;
    e.gameDir = gameDir;
    return e;
}

QStringList itemTexts(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

} // namespace

class ServerLists : public MonitorFixture {
protected:
    ServerSelector* selector() const { return serverSelector(*m_dialog); }
    QLineEdit* selectorEdit() const { return selector()->lineEdit(); }
    QPlainTextEdit* comment() const { return control<QPlainTextEdit>(1018); }
    QLineEdit* password() const { return control<QLineEdit>(1006); }
    QCheckBox* hide() const { return control<QCheckBox>(1010); }
    QCheckBox* save() const { return control<QCheckBox>(1011); }
    QComboBox* reserved() const { return control<QComboBox>(1022); }
    const ServerList& currentList() const { return m_app->lists().current(); }
    const ServerEntry* stored(const char* host) const {
        int i = currentList().find(parseAddress(host));
        return i >= 0 ? &currentList().entries()[static_cast<std::size_t>(i)] : nullptr;
    }
    void typeServer(const QString& text) {
        selectorEdit()->clear();
        typeKeys(selectorEdit(), text);
    }
};

TEST_F(ServerLists, TypingAnAddressShowsItsStoredRecordAtOnce) {
    openWindow([](Application& app) {
        ServerEntry a = entry("192.0.2.5:27015", "Alpha");
        a.comment = "clan\r\nserver";
        a.password = "pw";
        a.savePassword = true;
        a.reservedSlots = 3;
        app.lists().current().storeEntry(a);
    });
    EXPECT_EQ(selectorEdit()->text(), QString());
    typeServer(QStringLiteral("192.0.2.5:2701"));
    // A prefix of the port: an empty record for that address, and nothing is added.
    EXPECT_EQ(comment()->toPlainText(), QString());
    EXPECT_EQ(password()->text(), QString());
    EXPECT_EQ(reserved()->currentIndex(), 0);
    EXPECT_EQ(m_app->engine().currentServer().address.port, 2701);
    EXPECT_EQ(currentList().size(), 1u);

    typeKeys(selectorEdit(), QStringLiteral("5"));
    EXPECT_EQ(comment()->toPlainText(), QStringLiteral("clan\nserver"));
    EXPECT_EQ(password()->text(), QStringLiteral("pw"));
    EXPECT_TRUE(save()->isChecked());
    EXPECT_FALSE(hide()->isChecked());
    EXPECT_EQ(reserved()->currentText(), QStringLiteral("3"));
    EXPECT_EQ(m_app->engine().currentServer().comment, "clan\r\nserver");
    EXPECT_EQ(currentList().size(), 1u);
    // A whole item text (address, blank, name) selects the same server.
    typeServer(QStringLiteral("192.0.2.5:27015 Alpha"));
    EXPECT_EQ(password()->text(), QStringLiteral("pw"));
}

TEST_F(ServerLists, EditsGoIntoTheCurrentListOnEveryKeystroke) {
    openWindow([](Application& app) {
        ServerEntry b = entry("192.0.2.6:27015", "Bravo");
        app.lists().current().storeEntry(b);
        ServerEntry a = entry("192.0.2.5:27015", "Alpha");
        a.password = "secret";
        a.hidePassword = true;
        a.savePassword = true;
        app.lists().current().storeEntry(a);
    });
    typeServer(QStringLiteral("192.0.2.6:27015"));
    // Choosing a server of the list moves it to the front of the stored order.
    EXPECT_EQ(currentList().entries()[0].hostName, "Bravo");

    comment()->setFocus();
    comment()->insertPlainText(QStringLiteral("line one\nline two"));
    EXPECT_EQ(stored("192.0.2.6:27015")->comment, "line one\r\nline two");
    typeKeys(password(), QStringLiteral("ab"));
    EXPECT_EQ(stored("192.0.2.6:27015")->password, "ab");
    EXPECT_FALSE(stored("192.0.2.6:27015")->savePassword);
    save()->click();
    EXPECT_TRUE(stored("192.0.2.6:27015")->savePassword);
    reserved()->setCurrentIndex(0);
    emit reserved()->activated(0);
    EXPECT_EQ(stored("192.0.2.6:27015")->reservedSlots, -1);
    reserved()->setCurrentIndex(21);
    emit reserved()->activated(21);
    EXPECT_EQ(stored("192.0.2.6:27015")->reservedSlots, 20);
    // The other entry is untouched.
    EXPECT_EQ(stored("192.0.2.5:27015")->password, "secret");

    // Hide on: asterisks; unticking it empties the password, shown and stored.
    typeServer(QStringLiteral("192.0.2.5:27015"));
    EXPECT_EQ(password()->text(), QStringLiteral("secret"));
    EXPECT_EQ(password()->echoMode(), QLineEdit::Password);
    hide()->click();
    EXPECT_FALSE(hide()->isChecked());
    EXPECT_EQ(password()->text(), QString());
    EXPECT_EQ(password()->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(stored("192.0.2.5:27015")->password, "");
    EXPECT_FALSE(stored("192.0.2.5:27015")->hidePassword);
    EXPECT_EQ(m_app->engine().currentServer().password, "");
    hide()->click();
    EXPECT_EQ(password()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(stored("192.0.2.5:27015")->hidePassword);
}

TEST_F(ServerLists, DeleteKeyInTheOpenListAsksThenRemoves) {
    openWindow([](Application& app) {
        app.lists().current().storeEntry(entry("192.0.2.6:27015", "Bravo"));
        ServerEntry a = entry("192.0.2.5:27015", "Alpha");
        a.comment = "shown";
        app.lists().current().storeEntry(a);
    });
    typeServer(QStringLiteral("192.0.2.5:27015"));
    auto rowOf = [&](const char* host) {
        for (int i = 0; i < selector()->count(); ++i)
            if (selector()->addressAt(i) == parseAddress(host))
                return i;
        return -1;
    };
    auto pressDeleteOn = [&](const char* host) {
        selector()->showPopup();
        ASSERT_TRUE(selector()->isPopupVisible());
        const int row = rowOf(host);
        ASSERT_GE(row, 0);
        selector()->view()->setCurrentIndex(selector()->model()->index(row, 0));
        pressKey(selector()->view(), Qt::Key_Delete);
    };

    m_prompt.answers.push_back(Prompt::Answer::Cancel);
    pressDeleteOn("192.0.2.6:27015");
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].title, "Delete");
    EXPECT_EQ(m_prompt.messages[0].text, "Delete 192.0.2.6:27015 Bravo?");
    EXPECT_EQ(m_prompt.messages[0].buttons, Prompt::Buttons::OkCancel);
    EXPECT_EQ(currentList().size(), 2u);
    EXPECT_TRUE(selector()->isPopupVisible()); // opened again in both cases

    // Deleting another server leaves the shown one alone.
    pressDeleteOn("192.0.2.6:27015");
    EXPECT_EQ(currentList().size(), 1u);
    EXPECT_EQ(stored("192.0.2.6:27015"), nullptr);
    EXPECT_EQ(selectorEdit()->text(), QStringLiteral("192.0.2.5:27015"));
    EXPECT_EQ(comment()->toPlainText(), QStringLiteral("shown"));
    EXPECT_EQ(selector()->count(), 1);
    EXPECT_TRUE(selector()->isPopupVisible());

    // Deleting the shown server clears it.
    pressDeleteOn("192.0.2.5:27015");
    EXPECT_EQ(currentList().size(), 0u);
    EXPECT_EQ(selectorEdit()->text(), QString());
    EXPECT_TRUE(m_app->engine().currentServer().address.empty());
    EXPECT_EQ(comment()->toPlainText(), QString());
    EXPECT_EQ(selector()->count(), 0);
    selector()->hidePopup();
}

TEST_F(ServerLists, OtherKeysInTheOpenListAreSwallowed) {
    openWindow([](Application& app) {
        app.lists().current().storeEntry(entry("192.0.2.6:27015", "Bravo"));
        app.lists().current().storeEntry(entry("192.0.2.5:27015", "Alpha"));
    });
    selector()->showPopup();
    selector()->view()->setCurrentIndex(selector()->model()->index(0, 0));
    typeKeys(selector()->view(), QStringLiteral("1x"));
    pressKey(selector()->view(), Qt::Key_Right);
    EXPECT_EQ(selector()->view()->currentIndex().row(), 0);
    EXPECT_EQ(selectorEdit()->text(), QString());
    EXPECT_TRUE(m_prompt.messages.empty());
    EXPECT_EQ(currentList().size(), 2u);
    selector()->hidePopup();
}

TEST_F(ServerLists, ChoosingAListShowsItsServers) {
    openWindow([this](Application& app) {
        app.lists().current().storeEntry(entry("192.0.2.5:27015", "Alpha"));
        ServerList clan(dataDir() + "clan.sl06", "clan.sl06", "Clan");
        clan.storeEntry(entry("192.0.2.7:27015", "Charlie"));
        clan.storeEntry(entry("192.0.2.8:27016", "Delta"));
        app.lists().append(std::move(clan));
    });
    QComboBox* lists = listSelector(*m_dialog);
    ASSERT_EQ(lists->count(), 2);
    EXPECT_EQ(lists->currentIndex(), 0);
    EXPECT_EQ(lists->itemText(1), QStringLiteral("Clan (clan.sl06)"));
    typeServer(QStringLiteral("192.0.2.5:27015"));

    lists->setCurrentIndex(1);
    emit lists->activated(1);
    EXPECT_EQ(m_app->lists().currentIndex(), 1u);
    EXPECT_EQ(selectorEdit()->text(), QString());
    EXPECT_TRUE(m_app->engine().currentServer().address.empty());
    EXPECT_EQ(itemTexts(selector()),
              (QStringList{"192.0.2.8:27016 Delta", "192.0.2.7:27015 Charlie"}));
    // A server of the other list is not found in this one.
    typeServer(QStringLiteral("192.0.2.5:27015"));
    EXPECT_EQ(m_app->lists().current().size(), 2u);
}

TEST_F(ServerLists, NewRenameAndDeleteChangeTheListSelector) {
    openWindow();
    QComboBox* lists = listSelector(*m_dialog);
    ASSERT_EQ(lists->count(), 1);
    // Lists of the data directory show their bare file name, wherever the directory is.
    EXPECT_EQ(lists->itemText(0), QStringLiteral("Custom server list (serverlist.dat)"));

    m_prompt.dialogHandler = [](QDialog& d) {
        auto* dialog = dynamic_cast<NewListDialog*>(&d);
        if (dialog == nullptr)
            return int(QDialog::Rejected);
        EXPECT_EQ(dialog->fileNameEdit()->text(), QStringLiteral("new"));
        EXPECT_EQ(dialog->suffixLabel()->text(), QStringLiteral(".sl06"));
        EXPECT_EQ(dialog->nameEdit()->text(), QStringLiteral("Ondel server list"));
        dialog->fileNameEdit()->setText(QStringLiteral("team"));
        dialog->nameEdit()->setText(QStringLiteral("Team <b>list</b>"));
        return int(QDialog::Accepted);
    };
    m_dialog->commandAction(kNewListCommand)->trigger();
    ASSERT_EQ(m_app->lists().size(), 2u);
    EXPECT_EQ(m_app->lists().at(1).filePath(), dataDir() + "team.sl06");
    lists->showPopup(); // the new list shows when the drop-down opens
    ASSERT_EQ(lists->count(), 2);
    EXPECT_EQ(lists->itemText(1), QStringLiteral("Team <b>list</b> (team.sl06)"));
    lists->hidePopup();

    // The same file again is refused.
    m_dialog->commandAction(kNewListCommand)->trigger();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text, "The file 'team.sl06' already exists!!!");
    EXPECT_EQ(m_app->lists().size(), 2u);

    lists->setCurrentIndex(1);
    emit lists->activated(1);
    m_prompt.dialogHandler = [](QDialog& d) {
        auto* dialog = dynamic_cast<RenameListDialog*>(&d);
        if (dialog == nullptr)
            return int(QDialog::Rejected);
        EXPECT_TRUE(dialog->fileNameEdit()->isReadOnly());
        // The file as the selector names it, not the whole path.
        EXPECT_EQ(dialog->fileNameEdit()->text(), QStringLiteral("team.sl06"));
        EXPECT_TRUE(dialog->oldNameEdit()->isReadOnly());
        EXPECT_EQ(dialog->oldNameEdit()->text(), QStringLiteral("Team <b>list</b>"));
        EXPECT_EQ(dialog->newNameEdit()->text(), QStringLiteral("Team <b>list</b>"));
        dialog->newNameEdit()->setText(QStringLiteral("Renamed"));
        return int(QDialog::Accepted);
    };
    m_dialog->commandAction(kRenameListCommand)->trigger();
    EXPECT_EQ(m_app->lists().at(1).name(), "Renamed");
    EXPECT_TRUE(lists->itemText(1).startsWith(QStringLiteral("Renamed (")));
    EXPECT_EQ(lists->currentIndex(), 1);

    // Cancel renames nothing.
    m_prompt.dialogHandler = [](QDialog&) { return int(QDialog::Rejected); };
    m_dialog->commandAction(kRenameListCommand)->trigger();
    EXPECT_EQ(m_app->lists().at(1).name(), "Renamed");

    typeServer(QStringLiteral("192.0.2.5:27015"));
    m_prompt.messages.clear();
    m_dialog->commandAction(kDeleteListCommand)->trigger();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text,
              "Do you really want to delete this server list \"Renamed (" + dataDir() +
                  "team.sl06)\"?");
    // The selector is refilled at once: the removed list cannot be chosen any more.
    EXPECT_EQ(m_app->lists().size(), 1u);
    EXPECT_EQ(lists->count(), 1);
    EXPECT_EQ(lists->currentIndex(), 0);
    EXPECT_EQ(m_app->lists().currentIndex(), 0u);
    EXPECT_EQ(selectorEdit()->text(), QString());

    m_prompt.messages.clear();
    m_dialog->commandAction(kDeleteListCommand)->trigger();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text, "You cannot delete the custom server list!!!");
    EXPECT_EQ(m_app->lists().size(), 1u);
}

TEST_F(ServerLists, OpenAddsAListFromAFileOnce) {
    const std::string path = dataDir() + "elsewhere.sl06";
    {
        ServerList other(path, path, "Elsewhere");
        other.storeEntry(entry("192.0.2.9:27015", "Echo"));
        ASSERT_TRUE(writeList(other, path));
    }
    openWindow();
    m_prompt.files.push_back(std::nullopt); // Cancel
    m_dialog->commandAction(kOpenListCommand)->trigger();
    EXPECT_EQ(m_app->lists().size(), 2u); // loaded at start from the data directory
    m_prompt.files.push_back(path);
    m_dialog->commandAction(kOpenListCommand)->trigger();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].text, "Server list ia already in use!!!");
    ASSERT_FALSE(m_prompt.fileFilters.empty());
    EXPECT_EQ(m_prompt.fileFilters[0], "Ondel Server List (*.sl?\?);;All Files (*)");
    // The dialog starts where the lists are, whatever the current directory.
    EXPECT_EQ(m_prompt.filePresets[0], dataDir());

    const std::string outside = m_dir.path().toStdString() + "/sub/outside.sl06";
    QDir().mkpath(m_dir.path() + QStringLiteral("/sub"));
    {
        ServerList other(outside, outside, "Outside");
        ASSERT_TRUE(writeList(other, outside));
    }
    m_prompt.files.push_back(outside);
    m_dialog->commandAction(kOpenListCommand)->trigger();
    ASSERT_EQ(m_app->lists().size(), 3u);
    EXPECT_EQ(m_app->lists().at(2).name(), "Outside");
}

TEST_F(ServerLists, SortCommandsAndArrows) {
    openWindow([](Application& app) {
        app.lists().current().storeEntry(entry("192.0.2.5:27015", "charlie", "valve"));
        app.lists().current().storeEntry(entry("192.0.2.6:27015", "Alpha", "tfc"));
        app.lists().current().storeEntry(entry("192.0.2.7:27015", "bravo", "cstrike"));
    });
    m_dialog->commandAction(40009)->trigger(); // "Name"
    EXPECT_EQ(settings::read(m_app->settings(), settings::kServerListSortType), 1);
    // Nothing visible changes until the list is filled again.
    EXPECT_EQ(selector()->itemText(0), QStringLiteral("192.0.2.7:27015 bravo"));
    selector()->showPopup();
    selector()->hidePopup();
    EXPECT_EQ(itemTexts(selector()), (QStringList{"192.0.2.6:27015 Alpha", "192.0.2.7:27015 bravo",
                                                  "192.0.2.5:27015 charlie"}));
    m_dialog->commandAction(40011)->trigger(); // "Game + Name"
    EXPECT_EQ(settings::read(m_app->settings(), settings::kServerListSortType), 3);
    m_dialog->commandAction(40008)->trigger();
    EXPECT_EQ(settings::read(m_app->settings(), settings::kServerListSortType), 0);

    auto* arrows = control<QWidget>(1043);
    ASSERT_NE(arrows, nullptr);
    auto buttons = arrows->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 2);
    QToolButton* up = buttons[0]->arrowType() == Qt::UpArrow ? buttons[0] : buttons[1];
    QToolButton* down = up == buttons[0] ? buttons[1] : buttons[0];
    down->click(); // from no item to the first
    EXPECT_EQ(selector()->currentIndex(), 0);
    EXPECT_EQ(selectorEdit()->text(), QStringLiteral("192.0.2.6:27015 Alpha"));
    EXPECT_EQ(m_app->engine().currentServer().hostName, "Alpha");
    up->click(); // the first item stays, and the server is selected again
    EXPECT_EQ(selector()->currentIndex(), 0);
    EXPECT_EQ(m_app->engine().currentServer().hostName, "Alpha");
    down->click();
    EXPECT_EQ(m_app->engine().currentServer().hostName, "bravo");
    pressKey(arrows, Qt::Key_Down);
    pressKey(arrows, Qt::Key_Down); // past the last item: stays
    EXPECT_EQ(selector()->currentIndex(), 2);
    EXPECT_EQ(m_app->engine().currentServer().hostName, "charlie");
}

TEST_F(ServerLists, OpenDropDownWithARecentSection) {
    openWindow([](Application& app) {
        const char* names[][3] = {{"192.0.2.10:27015", "Frag Fest", "cstrike"},
                                  {"192.0.2.11:27015", "Crossfire 24/7", "valve"},
                                  {"192.0.2.12:27016", "Team Fortress Classic", "tfc"},
                                  {"192.0.2.13:27015", "Day of Defeat", "dod"},
                                  {"192.0.2.14:27015", "Bunker", "valve"},
                                  {"192.0.2.15:27017", "Rocket Crowbar", "rc"}};
        std::int64_t t = 13300000000000LL;
        int i = 0;
        for (auto& n : names) {
            ServerEntry e = entry(n[0], n[1], n[2]);
            if (i % 2 == 0)
                e.lastConnected = t + i * 60000; // three recently connected servers
            app.lists().current().storeEntry(e);
            ++i;
        }
    });
    m_dialog->commandAction(40009)->trigger();
    typeServer(QStringLiteral("192.0.2.11:27015"));
    selector()->showPopup();
    ASSERT_TRUE(selector()->isPopupVisible());
    EXPECT_EQ(selector()->recentEnd(), 2);
    ASSERT_EQ(selector()->count(), 9);
    EXPECT_EQ(selector()->itemText(0), QStringLiteral("192.0.2.14:27015 Bunker"));
    EXPECT_EQ(selector()->itemText(2), QStringLiteral("192.0.2.10:27015 Frag Fest"));
    EXPECT_EQ(selector()->itemText(3), QStringLiteral("192.0.2.14:27015 Bunker"));
    EXPECT_GT(selector()->addressColumnWidth(), 0);
    EXPECT_GT(selector()->gameColumnWidth(), 0);
    EXPECT_EQ(selectorEdit()->text(), QStringLiteral("192.0.2.11:27015")); // typed text kept
    selector()->view()->setCurrentIndex(selector()->model()->index(4, 0));

    // The window with the open list drawn over it, for a look.
    QApplication::processEvents();
    QWidget* popup = selector()->view()->window();
    QImage shot = m_dialog->grab().toImage();
    QPainter painter(&shot);
    painter.drawPixmap(m_dialog->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
    painter.end();
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(shot.save(QStringLiteral(ONDEL_TEST_OUTPUT "/server-dropdown.png")));
    selector()->hidePopup();
}

TEST_F(ServerLists, TheNextWindowShowsTheLastListAndServer) {
    openWindow([this](Application& app) {
        app.lists().current().storeEntry(entry("192.0.2.5:27015", "Alpha"));
        ServerList clan(dataDir() + "clan.sl06", "clan.sl06", "Clan");
        for (const char* host : {"192.0.2.7:27015", "192.0.2.8:27016", "192.0.2.9:27017"})
            clan.storeEntry(entry(host, "Clan server"));
        app.lists().append(std::move(clan));
    });
    QComboBox* lists = listSelector(*m_dialog);
    lists->setCurrentIndex(1);
    emit lists->activated(1);
    const ServerAddress third = selector()->addressAt(2).value_or(ServerAddress{});
    ASSERT_EQ(third, parseAddress("192.0.2.7:27015"));
    selector()->setCurrentIndex(2);
    emit selector()->activated(2);
    // Remembered when the window ends; the next window shows them.
    auto reopen = [this] {
        m_dialog->reject();
        m_dialog.reset();
        m_dialog = createMonitorWindow(*m_app, m_prompt);
    };
    reopen();
    EXPECT_EQ(m_app->lists().currentIndex(), 1u);
    EXPECT_EQ(listSelector(*m_dialog)->currentIndex(), 1);
    EXPECT_EQ(m_app->engine().currentServer().address, third);
    EXPECT_EQ(selectorEdit()->text(), QStringLiteral("192.0.2.7:27015 Clan server"));

    // A server that is gone leaves its list shown without a server; a list that is gone, list 0.
    m_app->lists().current().removeAt(
        static_cast<std::size_t>(m_app->lists().current().find(third)));
    reopen();
    EXPECT_EQ(m_app->lists().currentIndex(), 1u);
    EXPECT_TRUE(m_app->engine().currentServer().address.empty());
    EXPECT_EQ(selectorEdit()->text(), QString());
    settings::write(m_app->settings(), settings::kMonitorList, dataDir() + "gone.sl06");
    settings::write(m_app->settings(), settings::kMonitorServer, "192.0.2.5:27015");
    m_dialog.reset(); // not closed: the settings stay as written
    m_dialog = createMonitorWindow(*m_app, m_prompt);
    EXPECT_EQ(m_app->lists().currentIndex(), 0u);
    EXPECT_EQ(listSelector(*m_dialog)->currentIndex(), 0);
    EXPECT_TRUE(m_app->engine().currentServer().address.empty());
    EXPECT_TRUE(m_prompt.messages.empty());
}

TEST_F(ServerLists, AddAndDeleteFromTheMenuAsTheKeysDo) {
    openWindow([](Application& app) {
        app.lists().current().storeEntry(entry("192.0.2.6:27015", "Bravo"));
    });
    QAction* add = m_dialog->commandAction(MonitorDialog::kAddServerCommand);
    QAction* remove = m_dialog->commandAction(MonitorDialog::kDeleteServerCommand);
    ASSERT_NE(add, nullptr);
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(add->shortcut(), QKeySequence(Qt::Key_Insert));
    EXPECT_EQ(remove->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_FALSE(add->isEnabled()); // no server shown
    EXPECT_FALSE(remove->isEnabled());

    typeServer(QStringLiteral("192.0.2.5:27015"));
    EXPECT_TRUE(add->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    // Ins in the window, as the window system delivers it, adds the typed server.
    m_dialog->activateWindow();
    ASSERT_TRUE(input::waitForFocus(m_dialog.get()));
    selectorEdit()->setFocus();
    input::key(m_dialog.get(), Qt::Key_Insert);
    ASSERT_NE(stored("192.0.2.5:27015"), nullptr);
    EXPECT_EQ(currentList().size(), 2u);
    EXPECT_EQ(selector()->count(), 2);
    EXPECT_EQ(selectorEdit()->text(), QStringLiteral("192.0.2.5:27015"));
    EXPECT_FALSE(add->isEnabled());
    EXPECT_TRUE(remove->isEnabled());

    // Delete asks what the Delete key in the drop-down asks.
    typeServer(QStringLiteral("192.0.2.6:27015"));
    m_prompt.answers = {Prompt::Answer::Cancel, Prompt::Answer::Ok};
    remove->trigger();
    ASSERT_EQ(m_prompt.messages.size(), 1u);
    EXPECT_EQ(m_prompt.messages[0].title, "Delete");
    EXPECT_EQ(m_prompt.messages[0].text, "Delete 192.0.2.6:27015 Bravo?");
    EXPECT_EQ(m_prompt.messages[0].buttons, Prompt::Buttons::OkCancel);
    EXPECT_NE(stored("192.0.2.6:27015"), nullptr);
    remove->trigger();
    EXPECT_EQ(stored("192.0.2.6:27015"), nullptr);
    EXPECT_EQ(selectorEdit()->text(), QString());
    EXPECT_TRUE(m_app->engine().currentServer().address.empty());
    EXPECT_EQ(selector()->count(), 1);
    EXPECT_FALSE(remove->isEnabled());
}
