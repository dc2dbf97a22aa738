// The browser's marks for servers with made-up answers, its blocklist and its country column.
#include "../../core/fakes/FakeSettingsStore.h"
#include "../monitor/MonitorFixture.h"
#include "FakeScans.h"
#include "browser/CountryLookup.h"
#include "serverlist/ServerListSet.h"
#include "ui/browser/BlocklistDialog.h"
#include "ui/browser/BrowserModel.h"
#include "ui/browser/BrowserProxyModel.h"
#include "ui/browser/BrowserWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace ondel::test {
namespace {

// Every 10.x address is in Germany, nothing else is known.
class FakeCountries : public CountryLookup {
public:
    std::string countryOf(const std::string& host) const override {
        return host.starts_with("10.") ? "DE" : "";
    }
};

ServerEntry server(const std::string& host, const std::string& name) {
    ServerEntry e;
    e.address = {host, 27015};
    e.hostName = name;
    e.infoValid = true;
    e.maxPlayers = 16;
    return e;
}

// A details and players answer: `players` players, all connected `seconds` (or each a minute
// longer than the one before when seconds is 0).
ScanResult answer(const ServerAddress& address, const std::string& name, int players, int seconds) {
    ScanResult r;
    r.address = address;
    r.status = ScanResult::Status::Up;
    r.pingMs = 20;
    r.gotPlayers = true;
    r.entry = server(address.host, name);
    r.entry.players = static_cast<std::uint8_t>(players);
    for (int i = 0; i < players; ++i) {
        PlayerRecord p;
        p.name = "Player " + std::to_string(i + 1);
        p.time = seconds ? seconds : 60 * (i + 1);
        r.entry.playerList.push_back(p);
    }
    return r;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BrowserScreeningTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServerList custom("/tmp/none/serverlist.sl06", "serverlist.sl06", "Custom server list");
        custom.entries() = {server("10.0.0.1", "Honest Clan Server"),
                            server("10.0.0.2", "FREE VIP 24/7 #17"),
                            server("192.0.2.5", "Far Away"), server("10.0.0.4", "Hosted #2")};
        lists.append(std::move(custom));
        blocklist =
            testing::TempDir() + "ondel-browser-blocklist-" + std::to_string(::getpid()) + ".txt";
        std::remove(blocklist.c_str());
        window = std::make_unique<BrowserWindow>(lists, settings, scans, prompt,
                                                 BrowserWindow::Actions{});
        window->resize(1100, 260);
    }
    void TearDown() override { std::remove(blocklist.c_str()); }

    // Refreshes with answers for every server but the blocked ones; returns who was asked.
    std::vector<ServerAddress> refresh() {
        window->refresh();
        const std::vector<ServerAddress> asked = scans.started.back();
        for (const auto& a : asked) {
            const bool fake = a.host == "10.0.0.2";
            scans.report(
                answer(a, fake ? "FREE VIP 24/7 #17" : "Server " + a.host, 12, fake ? 3600 : 0));
        }
        scans.finish();
        return asked;
    }
    QStringList names() const {
        QStringList out;
        for (int r = 0; r < window->proxy().rowCount(); ++r)
            out << window->proxy().index(r, 0).data().toString();
        return out;
    }
    QCheckBox* hideFakes() const {
        return namedChild<QCheckBox>(window.get(), BrowserFilterBar::kHideFakes);
    }
    QModelIndex nameCell(const QString& name) const {
        for (int r = 0; r < window->proxy().rowCount(); ++r)
            if (window->proxy().index(r, 0).data().toString() == name)
                return window->proxy().index(r, 0);
        return {};
    }

    ServerListSet lists;
    FakeSettingsStore settings;
    FakeScans scans;
    FakeUiPrompt prompt;
    FakeCountries countries;
    std::string blocklist;
    std::unique_ptr<BrowserWindow> window;
};

TEST_F(BrowserScreeningTest, MadeUpServersAreMarkedAndHiddenUntilTheFilterIsOff) {
    ASSERT_TRUE(hideFakes()->isChecked());
    refresh();
    EXPECT_EQ(names(),
              (QStringList{QStringLiteral("Server 10.0.0.1"), QStringLiteral("Server 192.0.2.5"),
                           QStringLiteral("Server 10.0.0.4")}));
    for (int r = 0; r < window->proxy().rowCount(); ++r)
        EXPECT_TRUE(window->proxy().index(r, 0).data(Qt::DecorationRole).isNull());

    hideFakes()->setChecked(false);
    const QModelIndex fake = nameCell(QStringLiteral("FREE VIP 24/7 #17"));
    ASSERT_TRUE(fake.isValid()) << names().join(QLatin1Char(',')).toStdString();
    EXPECT_FALSE(fake.data(Qt::DecorationRole).isNull());
    EXPECT_EQ(fake.data(Qt::ToolTipRole).toString(),
              QStringLiteral("<qt>Suspect: all 12 players connected for the same time "
                             "(3600 s)<br>FREE VIP 24/7 #17"));
}

TEST_F(BrowserScreeningTest, CountryColumnShowsOnlyWithADatabase) {
    const int column = static_cast<int>(BrowserColumn::Country);
    auto* table = namedChild<QTableView>(window.get(), BrowserWindow::kServerTable);
    EXPECT_TRUE(table->isColumnHidden(column));
    window->setCountryLookup(&countries);
    EXPECT_FALSE(table->isColumnHidden(column));
    hideFakes()->setChecked(false);
    refresh();
    QStringList codes;
    for (int r = 0; r < window->proxy().rowCount(); ++r)
        codes << window->proxy().index(r, column).data().toString().right(2);
    EXPECT_EQ(codes, (QStringList{QStringLiteral("DE"), QStringLiteral("DE"), QString(),
                                  QStringLiteral("DE")}));

    window->show();
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    window->grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/browser-fakes.png"));
}

TEST_F(BrowserScreeningTest, BlockedServersAreNotAskedAndTheMenuBlocksMore) {
    std::ofstream(blocklist) << "10.0.0.4:27015\nname:free vip*\n";
    window->setBlocklistPath(blocklist);
    hideFakes()->setChecked(false);
    std::vector<ServerAddress> asked = refresh();
    // The name is known from the list: blocked before it was asked again.
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].host, "10.0.0.1");
    EXPECT_EQ(asked[1].host, "192.0.2.5");
    EXPECT_EQ(names(),
              (QStringList{QStringLiteral("Server 10.0.0.1"), QStringLiteral("Server 192.0.2.5")}));

    // A scan that learns a blocked name hides the server at once.
    std::ofstream(blocklist) << "10.0.0.4:27015\nname:Renamed*\n";
    window->refresh();
    EXPECT_EQ(scans.started.back().size(), 3u);
    scans.report(answer({"192.0.2.5", 27015}, "Renamed far server", 3, 0));
    scans.finish();
    EXPECT_EQ(names(), (QStringList{QStringLiteral("Server 10.0.0.1"),
                                    QStringLiteral("FREE VIP 24/7 #17")}));
    const QString status = namedChild<QLabel>(window.get(), BrowserWindow::kStatusLabel)->text();
    EXPECT_TRUE(status.contains(QStringLiteral("1 blocked servers not asked")))
        << status.toStdString();

    std::unique_ptr<QMenu> menu = window->contextMenuFor(0);
    ASSERT_TRUE(menu);
    QAction* blockAddress = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == QStringLiteral("Block this a&ddress"))
            blockAddress = a;
    ASSERT_NE(blockAddress, nullptr);
    blockAddress->trigger();
    EXPECT_EQ(slurp(blocklist), "10.0.0.4:27015\nname:Renamed*\n10.0.0.1\n");
    EXPECT_EQ(names(), QStringList{QStringLiteral("FREE VIP 24/7 #17")});
}

TEST_F(BrowserScreeningTest, DialogWritesTheListAndPointsAtDamagedLines) {
    std::ofstream(blocklist) << "# mine\n203.0.113.7\n";
    BlocklistDialog dialog(blocklist);
    EXPECT_EQ(dialog.editor()->toPlainText(), QStringLiteral("# mine\n203.0.113.7\n"));
    dialog.editor()->setPlainText(
        QStringLiteral("# mine\n203.0.113.7\n203.0.113.0/33\nname:*FREE VIP*"));
    dialog.show();
    dialog.okButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.problemsLabel()->text(),
              QStringLiteral("Line 3 is not an entry and is skipped: 203.0.113.0/33"));
    EXPECT_EQ(slurp(blocklist), "# mine\n203.0.113.7\n203.0.113.0/33\nname:*FREE VIP*\n");
    QDir().mkpath(QStringLiteral(ONDEL_TEST_OUTPUT));
    dialog.grab().save(QStringLiteral(ONDEL_TEST_OUTPUT "/blocklist-dialog.png"));
    // OK again on the same text: the damaged line stays skipped and the dialog closes.
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

} // namespace
} // namespace ondel::test
