#include "monitor/PlayerView.h"

#include <gtest/gtest.h>

using namespace ondel;

namespace {

PlayerRecord player(std::uint8_t index, const char* name, int frags, int time) {
    PlayerRecord p;
    p.index = index;
    p.name = name;
    p.frags = frags;
    p.time = time;
    return p;
}

std::string order(const std::vector<PlayerRecord>& players, PlayerSort sort) {
    std::string out;
    for (const PlayerRecord* p : sortedPlayers(players, sort))
        out += std::to_string(p->index);
    return out;
}

} // namespace

TEST(PlayerSort, HeaderClicksToggleAndSwitch) {
    PlayerSort s;
    EXPECT_EQ(s.column, 0);
    EXPECT_FALSE(s.descending);
    s.headerClicked(3); // "Frags"
    EXPECT_EQ(s.column, 2);
    EXPECT_FALSE(s.descending);
    s.headerClicked(3);
    EXPECT_TRUE(s.descending);
    s.headerClicked(0); // the hidden column changes nothing
    EXPECT_EQ(s.column, 2);
    EXPECT_TRUE(s.descending);
    s.headerClicked(2); // "Name": ascending again
    EXPECT_EQ(s.column, 1);
    EXPECT_FALSE(s.descending);
    s.headerClicked(1); // "#"
    EXPECT_EQ(s.column, 0);
    EXPECT_FALSE(s.descending);
    s.headerClicked(1);
    EXPECT_TRUE(s.descending);
}

TEST(PlayerSort, OrdersByEveryColumnKeepingEqualKeysInReplyOrder) {
    std::vector<PlayerRecord> players = {
        player(1, "bob", 5, 300),     player(2, "Alice", 7, 10), player(3, "carl", 5, 300),
        player(4, "alice", -2, 4000), player(5, "bob", 7, 59),
    };
    struct Case {
        int column;
        bool descending;
        const char* expected;
    } cases[] = {
        {0, false, "12345"},
        {0, true, "54321"},
        // Byte order, case-sensitive: "Alice" < "alice" < "bob" = "bob" < "carl".
        {1, false, "24153"},
        {1, true, "31542"},
        // Frags 5 (1, 3) and 7 (2, 5) are ties; ties keep reply order in both directions.
        {2, false, "41325"},
        {2, true, "25134"},
        // Time 300 twice (1, 3).
        {3, false, "25134"},
        {3, true, "41352"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(order(players, PlayerSort{c.column, c.descending}), c.expected)
            << c.column << (c.descending ? " desc" : " asc");
}

TEST(PlayerSort, IndexComparesUnsignedAndNamesAsUnsignedBytes) {
    std::vector<PlayerRecord> players = {player(200, "\xE9t\xE9", 0, 0), player(3, "zed", 0, 0)};
    EXPECT_EQ(order(players, PlayerSort{0, false}), "3200");
    EXPECT_EQ(order(players, PlayerSort{1, false}), "3200"); // 'z' < 0xE9
}

TEST(PlayerRows, CellsAndTimeColours) {
    struct Case {
        int time;
        const char* text;
        CellColour colour;
    } cases[] = {
        {0, "00:00:00", kRed},
        {59, "00:00:59", kRed},
        {60, "00:01:00", rgb(254, 0, 0)},
        {90, "00:01:30", rgb(126, 0, 0)}, // 90 * 255 / 60 = 382, mod 256
        {119, "00:01:59", rgb(3, 0, 0)},
        {120, "00:02:00", kNormalColour},
        {3725, "01:02:05", kNormalColour},
        {-5, "00:00:-5", kRed},
    };
    for (const Case& c : cases) {
        ServerEntry e;
        e.playerList = {player(7, "p", 3, c.time)};
        e.playerList[0].fragChangeTick = 0;
        std::vector<PlayerRow> rows = playerRows(e, PlayerSort{}, 50000);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].cells[0], "");
        EXPECT_EQ(rows[0].cells[1], "07");
        EXPECT_EQ(rows[0].cells[2], "p");
        EXPECT_EQ(rows[0].cells[3], "3");
        EXPECT_EQ(rows[0].cells[4], c.text);
        EXPECT_EQ(rows[0].colours[4], c.colour) << c.time;
        EXPECT_EQ(rows[0].colours[0], kNormalColour);
        EXPECT_EQ(rows[0].colours[1], kNormalColour);
        EXPECT_EQ(rows[0].colours[2], kNormalColour);
        EXPECT_EQ(rows[0].key, 7);
    }
}

TEST(PlayerRows, FragChangeColoursFadeOverTenSeconds) {
    struct Case {
        std::int8_t change;
        std::uint32_t changeTick, now;
        CellColour colour;
    } cases[] = {
        {2, 1000, 4000, rgb(0, 0, 178)},  // gained 2, 3 s ago
        {-2, 1000, 4000, rgb(178, 0, 0)}, // lost 2
        {1, 1000, 1000, rgb(0, 0, 255)},  // just now
        {1, 1000, 10999, rgb(0, 0, 0)},   // 9999 ms: v = 0, still "coloured" black-blue
        {1, 1000, 11000, kNormalColour},  // 10 s: back to normal
        {1, 0xFFFFF000u, 0x00000100u, rgb(0, 0, 144)}, // across the tick counter's wrap (4352 ms)
        {1, 5000, 4000, kNormalColour}, // a tick in the "future" is a huge elapsed time
    };
    for (const Case& c : cases) {
        PlayerRecord p = player(1, "p", 0, 500);
        p.fragChange = c.change;
        p.fragChangeTick = c.changeTick;
        EXPECT_EQ(fragColour(p, c.now), c.colour) << int(c.change) << " " << c.now;
    }
}

TEST(PlayerRows, SelectedFlagTravelsWithThePlayerThroughTheSort) {
    ServerEntry e;
    e.playerList = {player(1, "a", 1, 500), player(2, "b", 9, 500), player(3, "c", 5, 500)};
    e.playerList[0].selected = 1;
    std::vector<PlayerRow> rows = playerRows(e, PlayerSort{2, true}, 0);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].key, 2);
    EXPECT_EQ(rows[2].key, 1);
    EXPECT_TRUE(rows[2].selected);
    EXPECT_FALSE(rows[0].selected || rows[1].selected);

    EXPECT_TRUE(setPlayerSelected(e, 3, true));
    EXPECT_TRUE(setPlayerSelected(e, 1, false));
    EXPECT_FALSE(setPlayerSelected(e, 9, true));
    EXPECT_EQ(e.playerList[0].selected, 0);
    EXPECT_EQ(e.playerList[2].selected, 1);
}

TEST(PlayerRows, DuplicateIndexSelectsOnlyTheFirst) {
    ServerEntry e;
    e.playerList = {player(4, "a", 0, 0), player(4, "b", 0, 0)};
    EXPECT_TRUE(setPlayerSelected(e, 4, true));
    EXPECT_EQ(e.playerList[0].selected, 1);
    EXPECT_EQ(e.playerList[1].selected, 0);
}

TEST(RuleRows, NumberedFromOneInReplyOrder) {
    ServerEntry e;
    for (int i = 0; i < 10; ++i)
        e.rules.push_back({"r" + std::to_string(i), "v"});
    EXPECT_EQ(ruleRows(e).size(), 10u);
    e.rules = {{"mp_timelimit", "30"}, {"sv_gravity", "800"}, {"<b>", "\xB0"}};
    std::vector<RuleRow> rows = ruleRows(e);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells[1], "01");
    EXPECT_EQ(rows[2].cells[1], "03");
    EXPECT_EQ(rows[1].cells[2], "sv_gravity");
    EXPECT_EQ(rows[1].cells[3], "800");
    EXPECT_EQ(rows[2].cells[2], "<b>");
    EXPECT_EQ(rows[2].cells[3], "\xC2\xB0");
}

TEST(ViewFade, HalfWayToWhiteAfterFiveSeconds) {
    const std::int64_t t = 13000000000000LL;
    EXPECT_EQ(viewFadePercent(t, t), 0);
    EXPECT_EQ(viewFadePercent(t, t + 5000), 0);
    EXPECT_EQ(viewFadePercent(t, t + 5001), -50);
    EXPECT_EQ(viewFadePercent(t, t + 13000, 13000), 0); // rules asked every 10 s
    EXPECT_EQ(viewFadePercent(t, t + 13001, 13000), -50);
    EXPECT_EQ(viewFadePercent(0, t), -50); // never answered
    EXPECT_EQ(viewFadePercent(t + 60000, t), 0);
}
