// The Alerts dialog: what is set for a list and for a server comes back from the settings as it
// was set, and what a hostile settings file holds beyond the rules is left out.
#include "ui/alerts/AlertsDialog.h"

#include "../../core/fakes/FakeSettingsStore.h"
#include "../toolkit/NamedChild.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ondel;

namespace {

constexpr const char* kServer = "127.0.0.1:27015";

struct Lists {
    ServerListSet set;
    Lists() {
        ServerList list("/nowhere/a.sl06", "a.sl06", "My list");
        ServerEntry e;
        e.address = {"127.0.0.1", 27015};
        e.hostName = "Crossfire\nbox";
        list.entries().push_back(e);
        set.append(std::move(list));
    }
};

// Sets the dialog's fields for one scope as the user would.
void enter(AlertsDialog& d, const std::optional<AlertChoice>& c) {
    test::namedChild<QCheckBox>(&d, "alertUse")->setChecked(c.has_value());
    if (!c)
        return;
    test::namedChild<QCheckBox>(&d, "alertDown")->setChecked(c->downAfter > 0);
    if (c->downAfter > 0)
        test::namedChild<QSpinBox>(&d, "alertDownAfter")->setValue(c->downAfter);
    test::namedChild<QCheckBox>(&d, "alertAtLeast")->setChecked(c->playersAtLeast.has_value());
    test::namedChild<QSpinBox>(&d, "alertAtLeastCount")->setValue(c->playersAtLeast.value_or(0));
    test::namedChild<QCheckBox>(&d, "alertAtMost")->setChecked(c->playersAtMost.has_value());
    test::namedChild<QSpinBox>(&d, "alertAtMostCount")->setValue(c->playersAtMost.value_or(0));
    test::namedChild<QCheckBox>(&d, "alertMap")->setChecked(c->mapChanges);
    test::namedChild<QCheckBox>(&d, "alertPlayer")->setChecked(c->watchedPlayers);
}

} // namespace

TEST(AlertsDialog, RulesOfTheListAndOfOneServerComeBackAsSet) {
    AlertChoice downOnly;
    AlertChoice everything{7, 12, 0, true, true};
    AlertChoice noDown{0, std::nullopt, 3, false, true};
    const std::vector<std::pair<std::optional<AlertChoice>, std::optional<AlertChoice>>> cases = {
        {downOnly, std::nullopt},
        {everything, noDown},
        {std::nullopt, everything},
        {noDown, downOnly},
    };
    for (const auto& [forList, forServer] : cases) {
        Lists lists;
        test::FakeSettingsStore store;
        {
            AlertsDialog dialog(lists.set, store, 0, "");
            enter(dialog, forList);
            // The server's own rules on the same visit: the list's stay as entered.
            test::namedChild<QComboBox>(&dialog, "alertServer")->setCurrentIndex(1);
            enter(dialog, forServer);
            test::namedChild<QLineEdit>(&dialog, "alertWebhook")
                ->setText("http://127.0.0.1:9/hook");
            test::namedChild<QLineEdit>(&dialog, "alertCommand")->setText("logger \"$ONDEL_TEXT\"");
            dialog.accept();
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
        }
        EXPECT_EQ(readListAlerts(store, "My list"), forList);
        EXPECT_EQ(readServerAlerts(store, kServer), forServer);
        EXPECT_EQ(alertWebhook(store), "http://127.0.0.1:9/hook");
        EXPECT_EQ(alertCommand(store), "logger \"$ONDEL_TEXT\"");

        AlertsDialog again(lists.set, store, 0, kServer);
        EXPECT_EQ(test::namedChild<QComboBox>(&again, "alertServer")->currentIndex(), 1);
        EXPECT_EQ(test::namedChild<QCheckBox>(&again, "alertUse")->isChecked(),
                  forServer.has_value());
        if (forServer) {
            EXPECT_EQ(test::namedChild<QSpinBox>(&again, "alertDownAfter")->isEnabled(),
                      forServer->downAfter > 0);
        }
    }
}

TEST(AlertsDialog, GarbageInTheSettingsIsLeftOut) {
    const std::vector<std::pair<std::string, std::optional<AlertChoice>>> cases = {
        {"", std::nullopt},
        {"yes please", std::nullopt},
        {"down=5000 at-least=-1 at-most=1e3", std::nullopt},
        {"down=2 at-least=x map", AlertChoice{2, std::nullopt, std::nullopt, true, false}},
        {"down= player down=0x1 at-most=100001 at-most=4",
         AlertChoice{3, std::nullopt, 4, false, true}},
        {"down=0 at-least=0", AlertChoice{0, 0, std::nullopt, false, false}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(alertChoiceFromText(text), expected) << text;

    Lists lists;
    test::FakeSettingsStore store;
    store.writeString(settings::kAlerts, "List-4d79206c697374", "down=abc nonsense");
    settings::write(store, settings::kAlertWebhook, "file:///etc/passwd");
    AlertsDialog dialog(lists.set, store, 0, "");
    EXPECT_FALSE(test::namedChild<QCheckBox>(&dialog, "alertUse")->isChecked());
    EXPECT_TRUE(test::namedChild<QLineEdit>(&dialog, "alertWebhook")->text().isEmpty());
    // A webhook that is no http address is refused, not stored.
    test::namedChild<QLineEdit>(&dialog, "alertWebhook")->setText("ftp://127.0.0.1/");
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings::read(store, settings::kAlertWebhook), "file:///etc/passwd");
}

TEST(AlertsDialog, Picture) {
    Lists lists;
    test::FakeSettingsStore store;
    writeListAlerts(store, "My list", AlertChoice{3, 10, std::nullopt, true, false});
    AlertsDialog dialog(lists.set, store, 0, "");
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/alerts.png")));
}
