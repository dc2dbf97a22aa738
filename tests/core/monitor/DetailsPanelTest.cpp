#include "monitor/DetailsPanel.h"

#include "common/Clock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace ondel;

namespace {

bool utcTime(std::int64_t unixSeconds, std::tm& out) {
    auto t = static_cast<std::time_t>(unixSeconds);
    const std::tm* tm = std::gmtime(&t);
    if (tm == nullptr)
        return false;
    out = *tm;
    return true;
}

// Milliseconds since 1601 of a UTC time given since 1970.
std::int64_t stamp(std::int64_t unixSeconds) {
    return unixSeconds * 1000 + kMs1601To1970;
}

ServerEntry answeredServer() {
    ServerEntry e;
    e.infoValid = true;
    e.hostName = "Frag Fest";
    e.gameDescription = "Counter-Strike";
    e.gameDir = "cstrike";
    e.map = "de_dust";
    e.players = 14;
    e.maxPlayers = 16;
    e.os = 'l';
    e.serverType = 'd';
    return e;
}

// A Half-Life directory in the temporary directory with the given game and map present.
class HalfLifeDir : public ::testing::Test {
protected:
    void SetUp() override {
        m_root =
            std::filesystem::temp_directory_path() /
            ("ondel-hldir-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root / "cstrike" / "maps");
        std::ofstream(m_root / "cstrike" / "maps" / "de_dust.bsp") << "x";
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }
    std::string dir() const { return m_root.string(); }
    std::filesystem::path m_root;
};

} // namespace

TEST(DetailsPanel, BeforeAnyReplyEverythingIsDashExceptPingAndStoredTime) {
    ServerEntry e;
    e.lastConnected = stamp(1007759109); // 2001-12-07 21:05:09 UTC
    DetailsPanelTexts t = computeDetailsPanel(e, "/nonexistent", &utcTime);
    for (const std::string* s : {&t.hostName, &t.game, &t.players, &t.map, &t.password, &t.type,
                                 &t.adminMod, &t.friendlyFire, &t.timeLimit, &t.timeLeft})
        EXPECT_EQ(*s, "-");
    EXPECT_EQ(t.ping, "0 (0.0)");
    EXPECT_EQ(t.lastConnected, "07 Dec 01   21:05:09");
    EXPECT_FALSE(t.gameRed || t.mapRed || t.passwordRed);
}

TEST(DetailsPanel, OsAndServerTypeTexts) {
    struct Case {
        std::uint8_t os, type;
        const char* text;
    } cases[] = {
        {'l', 'd', "Linux, Dedicated"},
        {'w', 'l', "Windows, Listen"},
        {'x', 'd', "Unkown (x), Dedicated"},
        {'w', 'p', "Windows, Unkown (p)"},
        {'L', 'D', "Unkown (L), Unkown (D)"},
        {0xE9, 'd', "Unkown (\xC3\xA9), Dedicated"}, // a Windows-1252 byte shown as UTF-8
    };
    for (const Case& c : cases) {
        ServerEntry e = answeredServer();
        e.os = c.os;
        e.serverType = c.type;
        EXPECT_EQ(computeDetailsPanel(e, "", &utcTime).type, c.text) << c.text;
    }
}

TEST(DetailsPanel, RuleFields) {
    struct Case {
        std::int32_t timeLeft;
        const char* gameDir;
        std::int32_t reserveSlots;
        std::int32_t friendlyFire;
        const char* adminMod;
        const char* timeLeftText;
        const char* playersText;
        const char* friendlyFireText;
        const char* adminModText;
    } cases[] = {
        {125, "valve", 0, 0, "", "2:05", "14/16", "No", "No"},
        {125, "cstrike", 1, 1, "2.50.26", "2:05 (not supported by CS)", "14/16 (1 slot reserved)",
         "Yes", "Yes (Version 2.50.26)"},
        {-1, "valve", 3, 2, "", "0:-1", "14/16 (3 slots reserved)", "not specified", "No"},
        {0, "valve", 2, -1, "", "0:00", "14/16 (2 slots reserved)", "not specified", "No"},
        {-125, "valve", 0, 0, "", "-2:-5", "14/16", "No", "No"},
        {3600, "cstrikex", 0, 0, "", "60:00", "14/16", "No", "No"},
    };
    for (const Case& c : cases) {
        ServerEntry e = answeredServer();
        e.gameDir = c.gameDir;
        e.rulesValid = true;
        e.timeLeft = c.timeLeft;
        e.timeLimit = 30;
        e.reserveSlots = c.reserveSlots;
        e.friendlyFire = c.friendlyFire;
        e.adminModVersion = c.adminMod;
        DetailsPanelTexts t = computeDetailsPanel(e, "", &utcTime);
        EXPECT_EQ(t.timeLeft, c.timeLeftText);
        EXPECT_EQ(t.players, c.playersText);
        EXPECT_EQ(t.friendlyFire, c.friendlyFireText);
        EXPECT_EQ(t.adminMod, c.adminModText);
        EXPECT_EQ(t.timeLimit, "30 min");
    }
}

TEST(DetailsPanel, ReservedSuffixNeedsRulesButNotInfo) {
    ServerEntry e;
    e.rulesValid = true;
    e.reserveSlots = 2;
    EXPECT_EQ(computeDetailsPanel(e, "", &utcTime).players, "- (2 slots reserved)");
    e.rulesValid = false;
    EXPECT_EQ(computeDetailsPanel(e, "", &utcTime).players, "-");
}

TEST(DetailsPanel, PingTexts) {
    struct Case {
        std::int32_t last;
        float average;
        const char* text;
    } cases[] = {
        {0, 0.0f, "0 (0.0)"},      {40, 40.0f, "40 (40.0)"},  {60, 42.0f, "60 (42.0)"},
        {12, 12.25f, "12 (12.2)"}, {12, 12.26f, "12 (12.3)"}, {2999, 1.0f, "2999 (1.0)"},
        {3000, 42.0f, "Timeout"},  {70000, 1.0f, "Timeout"},  {-1, 42.0f, "Timeout"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pingText(c.last, c.average), c.text) << c.last;
}

TEST(DetailsPanel, LastConnectedFormats) {
    EXPECT_EQ(lastConnectedText(0, &utcTime), "-");
    EXPECT_EQ(lastConnectedText(stamp(1007759109), &utcTime), "07 Dec 01   21:05:09");
    EXPECT_EQ(lastConnectedText(stamp(1704067199) + 999, &utcTime), "31 Dec 23   23:59:59");
    EXPECT_EQ(lastConnectedText(stamp(-1) + 500, &utcTime), "31 Dec 69   23:59:59");
    // Stamps from a damaged file at either end of the range give some text without overflow
    // (the sanitizer build checks the arithmetic).
    EXPECT_FALSE(lastConnectedText(INT64_MAX, &utcTime).empty());
    EXPECT_FALSE(lastConnectedText(INT64_MIN, &utcTime).empty());
    // A converter that cannot give a time leaves the field at "-".
    EXPECT_EQ(lastConnectedText(stamp(1), [](std::int64_t, std::tm&) { return false; }), "-");
}

TEST_F(HalfLifeDir, GameAndMapTurnRedWhenMissingBelowTheHalfLifeDirectory) {
    ServerEntry e = answeredServer();
    DetailsPanelTexts t = computeDetailsPanel(e, dir(), &utcTime);
    EXPECT_FALSE(t.gameRed);
    EXPECT_FALSE(t.mapRed);

    e.map = "de_aztec";
    t = computeDetailsPanel(e, dir(), &utcTime);
    EXPECT_FALSE(t.gameRed);
    EXPECT_TRUE(t.mapRed);
    EXPECT_EQ(t.map, "de_aztec");

    e.gameDir = "tfc";
    t = computeDetailsPanel(e, dir(), &utcTime);
    EXPECT_TRUE(t.gameRed);
    EXPECT_TRUE(t.mapRed);

    // The checks need the info reply: without it both stay normal.
    e.infoValid = false;
    t = computeDetailsPanel(e, dir(), &utcTime);
    EXPECT_FALSE(t.gameRed || t.mapRed);
}

TEST_F(HalfLifeDir, NamesThatAreNoPlainFolderNeverReachTheFileSystem) {
    // Each of these names a file that exists, but only by a path the server chose.
    struct Case {
        const char* gameDir;
        const char* map;
        bool gameRed;
    } cases[] = {
        {"cstrike/../cstrike", "de_dust", true},
        {"cstrike", "../maps/de_dust", false},
        {"cstrike", "/de_dust", false},
    };
    for (const auto& c : cases) {
        ServerEntry e = answeredServer();
        e.gameDir = c.gameDir;
        e.map = c.map;
        DetailsPanelTexts t = computeDetailsPanel(e, dir(), &utcTime);
        EXPECT_EQ(t.gameRed, c.gameRed) << c.gameDir;
        EXPECT_TRUE(t.mapRed) << c.map;
    }
}

TEST(DetailsPanel, AnAddressThatIsNeverAskedSaysSo) {
    ServerEntry e;
    e.address = {"255.255.255.255", 27015};
    EXPECT_NE(computeDetailsPanel(e, "", &utcTime).hostName.find("broadcast"), std::string::npos);
}

TEST_F(HalfLifeDir, MapWithoutBspSuffixOnDiskIsMissing) {
    std::ofstream(m_root / "cstrike" / "maps" / "cs_italy") << "x";
    ServerEntry e = answeredServer();
    e.map = "cs_italy";
    EXPECT_TRUE(computeDetailsPanel(e, dir(), &utcTime).mapRed);
}

TEST(DetailsPanel, PasswordLineIsRedOnlyWhenWantedAndNoneStored) {
    ServerEntry e = answeredServer();
    e.passwordRequired = 1;
    DetailsPanelTexts t = computeDetailsPanel(e, "", &utcTime);
    EXPECT_EQ(t.password, "Yes");
    EXPECT_TRUE(t.passwordRed);
    e.password = "secret";
    t = computeDetailsPanel(e, "", &utcTime);
    EXPECT_EQ(t.password, "Yes");
    EXPECT_FALSE(t.passwordRed);
    e.password.clear();
    e.passwordRequired = 0;
    t = computeDetailsPanel(e, "", &utcTime);
    EXPECT_EQ(t.password, "No");
    EXPECT_FALSE(t.passwordRed);
}

TEST(DetailsPanel, ServerTextIsShownAsItCameAndNotInterpreted) {
    ServerEntry e = answeredServer();
    e.hostName = "<b>x</b> \xE4rger"; // Windows-1252 umlaut
    e.map = "<i>m</i>";
    DetailsPanelTexts t = computeDetailsPanel(e, "", &utcTime);
    EXPECT_EQ(t.hostName, "<b>x</b> \xC3\xA4rger");
    EXPECT_EQ(t.map, "<i>m</i>");
    EXPECT_EQ(t.players, "14/16");
}
