#include "browser/Blocklist.h"
#include "browser/CountryLookup.h"
#include "browser/FakeServerRules.h"

#include <gtest/gtest.h>

#include <set>

namespace ondel {
namespace {

ServerEntry serverWith(int players, int maxPlayers, std::vector<int> times) {
    ServerEntry e;
    e.players = static_cast<std::uint8_t>(players);
    e.maxPlayers = static_cast<std::uint8_t>(maxPlayers);
    for (int t : times) {
        PlayerRecord p;
        p.time = t;
        e.playerList.push_back(p);
    }
    return e;
}

TEST(FakeServerRules, MarksMadeUpAnswersAndLeavesPlayedServersAlone) {
    struct Case {
        const char* what;
        ServerEntry entry;
        bool gotPlayers;
        int bots;
        std::string reason; // empty: the answers look real
    };
    const std::vector<Case> cases = {
        {"farm: everyone an hour", serverWith(12, 16, std::vector<int>(12, 3600)), true, -1,
         "all 12 players connected for the same time (3600 s)"},
        {"within a second counts as the same", serverWith(4, 16, {100, 101, 100, 101}), true, 0,
         "all 4 players connected for the same time (100 s)"},
        {"two seconds apart is a real join", serverWith(4, 16, {100, 102, 100, 101}), true, 0, ""},
        {"three players may come together", serverWith(3, 16, {50, 50, 50}), true, 0, ""},
        {"bots added at once with few humans", serverWith(6, 16, std::vector<int>(6, 900)), true, 3,
         ""},
        {"players reply not read: no time rule", serverWith(12, 16, {}), false, -1, ""},
        {"more players than slots", serverWith(20, 16, {}), false, -1,
         "more players than slots (20 of 16)"},
        {"full is not more", serverWith(16, 16, {}), false, -1, ""},
        {"count far beyond the list", serverWith(12, 16, {10, 200}), true, 0,
         "the player list holds 2 players, the details say 12"},
        {"bots left out of the list", serverWith(8, 16, {10, 200, 300, 40}), true, 4, ""},
        {"a join between the replies", serverWith(5, 16, {10, 200, 300}), true, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(madeUpReason({&c.entry, c.gotPlayers, c.bots}), c.reason) << c.what;

    // Reserved slots the rules report may hold players beyond the visible slots.
    ServerEntry reserved = serverWith(18, 16, {});
    reserved.reserveSlots = 2;
    EXPECT_EQ(madeUpReason({&reserved, false, -1}), "");
    EXPECT_EQ(madeUpReason({}), "");
}

TEST(Blocklist, EntriesOfEveryKindAndDamagedLinesByNumber) {
    const Blocklist list = Blocklist::parse("# my blocklist\n"
                                            "203.0.113.7\n"
                                            "  198.51.100.0/24   # a hoster of fakes\r\n"
                                            "192.0.2.1:27016\n"
                                            "fakes.example.net:27015\n"
                                            "name:*free vip*\n"
                                            "name:#1 Server?\n"
                                            "\n"
                                            "10.0.0.0/0\n"
                                            "1.2.3.4/33\n"
                                            "010.0.0.1\n"
                                            "256.1.1.1\n"
                                            "name:**\n"
                                            "host:99999\n"
                                            "two words:27015\n");
    std::vector<std::size_t> badNumbers;
    for (const auto& bad : list.badLines())
        badNumbers.push_back(bad.lineNumber);
    EXPECT_EQ(badNumbers, (std::vector<std::size_t>{9, 10, 11, 12, 13, 14, 15}));
    EXPECT_EQ(list.size(), 6u);

    struct Probe {
        ServerAddress address;
        std::optional<std::string> by;
    };
    const std::vector<Probe> probes = {
        {{"203.0.113.7", 27015}, "203.0.113.7"},
        {{"203.0.113.8", 27015}, std::nullopt},
        {{"198.51.100.255", 1}, "198.51.100.0/24"},
        {{"198.51.101.0", 27015}, std::nullopt},
        {{"192.0.2.1", 27016}, "192.0.2.1:27016"},
        {{"192.0.2.1", 27015}, std::nullopt},
        {{"fakes.example.net", 27015}, "fakes.example.net:27015"},
        {{"FAKES.example.net", 27015}, std::nullopt},
    };
    for (const auto& p : probes)
        EXPECT_EQ(list.blockingAddress(p.address), p.by) << addressText(p.address);

    EXPECT_EQ(list.blockingName("Join us! FREE VIP for all"), "name:*free vip*");
    EXPECT_EQ(list.blockingName("#1 Server!"), "name:#1 Server?");
    EXPECT_EQ(list.blockingName("#1 Server"), std::nullopt);
    EXPECT_EQ(list.blockingName("Public server"), std::nullopt);
}

TEST(Blocklist, GlobMatchesWithoutBlowingUp) {
    EXPECT_TRUE(globMatches("a*b*c", "aXXbYYc"));
    EXPECT_TRUE(globMatches("*", ""));
    EXPECT_FALSE(globMatches("a*b", "aXXbc"));
    EXPECT_FALSE(globMatches("?", ""));
    // A pattern that backtracking matchers take exponential time on.
    EXPECT_FALSE(globMatches("*a*a*a*a*a*a*a*a*b", std::string(4000, 'a')));
}

TEST(Blocklist, LinesAreAddedOnceAndTheFileIsReadBack) {
    const std::string path = testing::TempDir() + "ondel-blocklist-test.txt";
    std::remove(path.c_str());
    const ServerAddress server{"192.0.2.9", 27015};
    ASSERT_TRUE(appendBlocklistLine(path, Blocklist::serverLine(server)));
    ASSERT_TRUE(appendBlocklistLine(path, *Blocklist::addressLine({"192.0.2.10", 1})));
    ASSERT_TRUE(appendBlocklistLine(path, Blocklist::serverLine(server)));
    EXPECT_FALSE(Blocklist::addressLine({"fakes.example.net", 1}));
    std::string error;
    const Blocklist list = Blocklist::load(path, &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(list.size(), 2u);
    EXPECT_TRUE(list.blockingAddress(server));
    EXPECT_TRUE(list.blockingAddress({"192.0.2.10", 27016}));
    std::remove(path.c_str());
    EXPECT_TRUE(Blocklist::load(path, &error).empty());
}

TEST(CountryLookup, DatabaseFromEnvironmentSettingsOrTheUsualPlaces) {
    std::set<std::string> files;
    auto exists = [&](const std::string& p) { return files.count(p) > 0; };
    EXPECT_EQ(findCountryDatabase("/e.mmdb", "/s.mmdb", "/data", exists), "/e.mmdb");
    EXPECT_EQ(findCountryDatabase("", "/s.mmdb", "/data", exists), "/s.mmdb");
    EXPECT_EQ(findCountryDatabase(nullptr, "", "/data", exists), "");
    files = {"/data/GeoLite2-Country.mmdb", "/var/lib/GeoIP/GeoLite2-City.mmdb"};
    EXPECT_EQ(findCountryDatabase(nullptr, "", "/data", exists),
              "/var/lib/GeoIP/GeoLite2-City.mmdb");
    files.insert("/var/lib/GeoIP/dbip-country-lite.mmdb");
    EXPECT_EQ(findCountryDatabase(nullptr, "", "/data/", exists),
              "/var/lib/GeoIP/dbip-country-lite.mmdb");

    EXPECT_EQ(countryFlag("DE"), "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA");
    EXPECT_EQ(countryFlag("de"), "");
    EXPECT_EQ(countryFlag("DEU"), "");
}

} // namespace
} // namespace ondel
