#include "ReplyBuilder.h"

#include "query/ChallengeParser.h"
#include "query/InfoReplyParser.h"
#include "query/PlayersReplyParser.h"
#include "query/RulesReplyParser.h"
#include "query/SteamInfoParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ondel;
using namespace ondel::test;

namespace {
// Where the mod flag sits in a default infoReply(): everything before it must be there.
std::size_t modFlagEnd(const InfoFields& f) {
    return 5 + f.address.size() + 1 + f.name.size() + 1 + f.map.size() + 1 + f.gameDir.size() + 1 +
           f.description.size() + 1 + 7;
}
} // namespace

TEST(InfoReplyParser, ReadsEveryFieldInWireOrder) {
    InfoFields f;
    f.name = "Caf\xE9 \xFF server"; // bytes above 127 kept as they are
    f.os = 'w';
    f.password = 1;
    ServerEntry e;
    e.comment = "mine";
    auto bytes = infoReply(f);
    ASSERT_TRUE(InfoReplyParser::parse(bytes.data(), bytes.size(), e));
    EXPECT_EQ(e.hostName, f.name);
    EXPECT_EQ(e.map, "de_dust2");
    EXPECT_EQ(e.gameDir, "cstrike");
    EXPECT_EQ(e.gameDescription, "Counter-Strike");
    EXPECT_EQ(e.players, 5);
    EXPECT_EQ(e.maxPlayers, 16);
    EXPECT_EQ(e.protocol, 47);
    EXPECT_EQ(e.serverType, 'd');
    EXPECT_EQ(e.os, 'w');
    EXPECT_EQ(e.passwordRequired, 1);
    EXPECT_EQ(e.isMod, 0);
    EXPECT_EQ(e.comment, "mine");
    EXPECT_FALSE(e.infoValid); // the engine sets validity and time, not the parser
}

TEST(InfoReplyParser, ModBlockIsSkippedAndNotStored) {
    InfoFields f;
    f.mod = 1;
    auto bytes = infoReply(f);
    ServerEntry e;
    ASSERT_TRUE(InfoReplyParser::parse(bytes.data(), bytes.size(), e));
    EXPECT_EQ(e.isMod, 1);
    EXPECT_EQ(e.gameDescription, "Counter-Strike");
}

TEST(InfoReplyParser, ReplyCutBeforeTheModFlagIsDroppedWhole) {
    InfoFields f;
    f.mod = 1;
    auto bytes = infoReply(f);
    std::size_t needed = modFlagEnd(f);
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        ServerEntry e;
        e.hostName = "old";
        bool ok = InfoReplyParser::parse(bytes.data(), n, e);
        EXPECT_EQ(ok, n >= needed) << n;
        EXPECT_EQ(e.hostName, ok ? f.name : "old") << n;
    }
}

TEST(InfoReplyParser, RefusesOtherHeadersAndTypes) {
    auto bytes = infoReply();
    ServerEntry e;
    bytes[4] = 'I';
    EXPECT_FALSE(InfoReplyParser::parse(bytes.data(), bytes.size(), e));
    bytes[4] = 'm';
    bytes[0] = 0xFE;
    EXPECT_FALSE(InfoReplyParser::parse(bytes.data(), bytes.size(), e));
    EXPECT_FALSE(InfoReplyParser::parse(nullptr, 0, e));
}

TEST(SteamInfoParser, FillsTheRecordAndTheExtras) {
    SteamInfoFields f;
    auto bytes = steamInfoReply(f);
    ServerEntry e;
    SteamInfoExtras x;
    ASSERT_TRUE(SteamInfoParser::parse(bytes.data(), bytes.size(), e, &x));
    EXPECT_EQ(e.protocol, 48);
    EXPECT_EQ(e.hostName, "Steam Server");
    EXPECT_EQ(e.map, "crossfire");
    EXPECT_EQ(e.gameDir, "valve");
    EXPECT_EQ(e.gameDescription, "Half-Life");
    EXPECT_EQ(e.players, 3);
    EXPECT_EQ(e.maxPlayers, 32);
    EXPECT_EQ(e.serverType, 'd');
    EXPECT_EQ(e.os, 'w');
    EXPECT_EQ(e.passwordRequired, 1);
    EXPECT_EQ(e.isMod, 0); // valve is the base game
    EXPECT_EQ(x.appId, 70);
    EXPECT_EQ(x.bots, 2);
    EXPECT_EQ(x.vac, 1);
    EXPECT_EQ(x.version, "1.1.2.7/Stdio");
    EXPECT_EQ(x.gamePort, 27015);
    EXPECT_EQ(x.steamId, 90071992547409920ULL);
    EXPECT_EQ(x.keywords, "secure,dm");
    EXPECT_EQ(x.gameId, 70u);
    EXPECT_FALSE(x.spectatorPort);
}

TEST(SteamInfoParser, ModFollowsTheFolderAndExtraDataIsOptional) {
    SteamInfoFields f;
    f.folder = "cstrike";
    f.withExtraData = false;
    auto bytes = steamInfoReply(f);
    ServerEntry e;
    SteamInfoExtras x;
    ASSERT_TRUE(SteamInfoParser::parse(bytes.data(), bytes.size(), e, &x));
    EXPECT_EQ(e.isMod, 1);
    EXPECT_EQ(x.extraDataFlags, 0);
    EXPECT_FALSE(x.gamePort);
    EXPECT_FALSE(x.keywords);
}

TEST(SteamInfoParser, TheShipCarriesThreeMoreBytesBeforeTheVersion) {
    SteamInfoFields f;
    f.appId = 2400;
    f.withExtraData = false;
    auto bytes = steamInfoReply(f);
    std::size_t versionAt = bytes.size() - f.version.size() - 1;
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(versionAt), {1, 2, 3});
    ServerEntry e;
    SteamInfoExtras x;
    ASSERT_TRUE(SteamInfoParser::parse(bytes.data(), bytes.size(), e, &x));
    EXPECT_EQ(x.version, f.version);
}

TEST(SteamInfoParser, OnlyAWholeReplyIsTakenWithOrWithoutItsExtraData) {
    SteamInfoFields f;
    auto bytes = steamInfoReply(f);
    std::size_t versionEnd = 5 + 1 + f.name.size() + 1 + f.map.size() + 1 + f.folder.size() + 1 +
                             f.game.size() + 1 + 2 + 7 + f.version.size() + 1;
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        ServerEntry e;
        e.hostName = "old";
        SteamInfoExtras x;
        bool ok = SteamInfoParser::parse(bytes.data(), n, e, &x);
        // Ending right after the version is a reply without extra data; ending inside the
        // fields its flag byte announces is a reply cut short.
        ASSERT_EQ(ok, n == versionEnd || n == bytes.size()) << n;
        EXPECT_EQ(e.hostName, ok ? f.name : "old");
        EXPECT_EQ(x.gameId.has_value(), n == bytes.size()) << n;
    }
}

TEST(RulesReplyParser, TakesEveryPairWhateverTheCountSays) {
    auto bytes =
        rulesReply({{"mp_timelimit", "30"}, {"sv_gravity", "800"}, {"mp_timelimit", "5"}}, 0);
    ServerEntry e;
    ASSERT_TRUE(RulesReplyParser::parse(bytes.data(), bytes.size(), e));
    ASSERT_EQ(e.rules.size(), 3u);
    EXPECT_EQ(e.rules[1], (RuleEntry{"sv_gravity", "800"}));
    EXPECT_EQ(e.timeLimit, 30); // the first rule of a name counts
}

TEST(RulesReplyParser, PicksTheFiveValues) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> rules;
        std::string adminMod;
        int reserve, left, limit, ff;
    } cases[] = {
        {{}, "", 0, 0, 0, 0},
        {{{"mp_timeleft", "abc"}}, "", 0, -1, 0, 0},
        {{{"mp_timeleft", "754"}, {"mp_timelimit", "30.000000"}}, "", 0, 754, 30, 0},
        {{{"mp_timelimit", "abc"}, {"reserve_slots", "x"}, {"mp_friendlyfire", ""}},
         "",
         0,
         0,
         0,
         0},
        {{{"admin_mod_version", "2.50.60"}, {"reserve_slots", " 2"}, {"mp_friendlyfire", "1"}},
         "2.50.60",
         2,
         0,
         0,
         1},
        {{{"MP_TIMELEFT", "5"}, {"Admin_Mod_Version", "1"}}, "", 0, 0, 0, 0}, // case-sensitive
        {{{"mp_timeleft", "-20"}}, "", 0, -20, 0, 0},
    };
    for (const auto& c : cases) {
        auto bytes = rulesReply(c.rules);
        ServerEntry e;
        e.adminModVersion = "stale";
        e.timeLeft = 99;
        ASSERT_TRUE(RulesReplyParser::parse(bytes.data(), bytes.size(), e));
        EXPECT_EQ(e.adminModVersion, c.adminMod);
        EXPECT_EQ(e.reserveSlots, c.reserve);
        EXPECT_EQ(e.timeLeft, c.left);
        EXPECT_EQ(e.timeLimit, c.limit);
        EXPECT_EQ(e.friendlyFire, c.ff);
    }
}

TEST(RulesReplyParser, AReplyCutShortIsNotTaken) {
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"a", "1"}, {"bb", "22"}, {"ccc", "333"}};
    auto counted = rulesReply(pairs);
    auto uncounted = rulesReply(pairs, 0);
    // Ends of the pairs: 7 + 4 = 11, + 6 = 17, + 8 = 25. With the count (3) only the whole reply
    // is taken; with a count of 0 a reply that ends between pairs cannot be told from a whole one.
    struct Case {
        std::size_t n;
        bool countedOk;
        bool uncountedOk;
        std::size_t uncountedPairs;
    } cases[] = {{5, false, false, 0},  {6, false, false, 0},  {7, false, true, 0},
                 {10, false, false, 0}, {11, false, true, 1},  {16, false, false, 0},
                 {17, false, true, 2},  {24, false, false, 0}, {25, true, true, 3}};
    for (const auto& c : cases) {
        ServerEntry e;
        e.rules = {{"old", "x"}};
        EXPECT_EQ(RulesReplyParser::parse(counted.data(), c.n, e), c.countedOk) << c.n;
        EXPECT_EQ(e.rules.size(), c.countedOk ? 3u : 1u) << c.n;
        ServerEntry u;
        u.rules = {{"old", "x"}};
        EXPECT_EQ(RulesReplyParser::parse(uncounted.data(), c.n, u), c.uncountedOk) << c.n;
        EXPECT_EQ(u.rules.size(), c.uncountedOk ? c.uncountedPairs : 1u) << c.n;
    }
    auto& bytes = counted;
    // One stray byte after the last pair is ignored.
    bytes.push_back('z');
    ServerEntry e;
    ASSERT_TRUE(RulesReplyParser::parse(bytes.data(), bytes.size(), e));
    EXPECT_EQ(e.rules.size(), 3u);
}

TEST(PlayersReplyParser, ReadsRecordsAndStopsAtAnIndexOutOfSequence) {
    auto bytes =
        playersReply({{"one", 10, 59.9f}, {"two", -3, 0.4f}, {"three", 1, 1, 5}, {"four", 1, 1}});
    std::vector<PlayerRecord> players;
    ASSERT_TRUE(PlayersReplyParser::parse(bytes.data(), bytes.size(), players));
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0].index, 1);
    EXPECT_EQ(players[0].name, "one");
    EXPECT_EQ(players[0].frags, 10);
    EXPECT_EQ(players[0].time, 59);
    EXPECT_EQ(players[1].frags, -3);
    EXPECT_EQ(players[1].time, 0);
}

TEST(PlayersReplyParser, ZeroIndexOnlyWhenAllowed) {
    auto bytes = playersReply({{"a", 1, 1, 0}, {"b", 2, 2, 0}});
    std::vector<PlayerRecord> players;
    ASSERT_TRUE(PlayersReplyParser::parse(bytes.data(), bytes.size(), players));
    EXPECT_TRUE(players.empty());
    ASSERT_TRUE(PlayersReplyParser::parse(bytes.data(), bytes.size(), players, true));
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[1].index, 2);
}

TEST(PlayersReplyParser, AReplyWithFewerRecordsThanItAnnouncesIsNotTaken) {
    auto bytes = playersReply({{"ab", 1, 1}, {"cd", 2, 2}});
    // Records are 1 + 3 + 8 = 12 bytes after the 6-byte start: only all 30 bytes are whole.
    ASSERT_EQ(bytes.size(), 30u);
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        std::vector<PlayerRecord> players(1);
        bool ok = PlayersReplyParser::parse(bytes.data(), n, players);
        EXPECT_EQ(ok, n == 30) << n;
        EXPECT_EQ(players.size(), ok ? 2u : 1u) << n;
    }
}

TEST(PlayersReplyParser, WholeSecondsNeverOverflows) {
    struct Case {
        float in;
        std::int32_t out;
    } cases[] = {
        {59.9f, 59},
        {-0.5f, 0},
        {-7.9f, -7},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {std::numeric_limits<float>::infinity(), std::numeric_limits<std::int32_t>::max()},
        {-std::numeric_limits<float>::infinity(), std::numeric_limits<std::int32_t>::min()},
        {1e30f, std::numeric_limits<std::int32_t>::max()},
        {2147483648.0f, std::numeric_limits<std::int32_t>::max()},
        {2147483520.0f, 2147483520}, // the largest float below 2^31
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayersReplyParser::wholeSeconds(c.in), c.out) << c.in;
}

namespace {
PlayerRecord record(const char* name, std::int32_t frags, std::int32_t selected = 0) {
    PlayerRecord p;
    p.name = name;
    p.frags = frags;
    p.selected = selected;
    return p;
}
} // namespace

TEST(PlayersCarryOver, FragChangesSelectionAndNames) {
    std::vector<PlayerRecord> previous = {record("Player", 10, 1), record("keeper", 12),
                                          record("loser", 3), record("wrap", 0)};
    previous[1].fragChange = 2;
    previous[1].fragChangeTick = 777;
    std::vector<PlayerRecord> now = {
        record("player", 10), // another player: names are case-sensitive
        record("Player", 12), record("keeper", 12), record("loser", 1), record("wrap", 300)};

    PlayersReplyParser::carryOver(previous, now, 5000);
    EXPECT_EQ(now[0].selected, 0);
    EXPECT_EQ(now[0].fragChange, 0);
    EXPECT_EQ(now[1].selected, 1);
    EXPECT_EQ(now[1].fragChange, 2);
    EXPECT_EQ(now[1].fragChangeTick, 5000u);
    EXPECT_EQ(now[2].fragChange, 2); // unchanged frags keep the earlier change
    EXPECT_EQ(now[2].fragChangeTick, 777u);
    EXPECT_EQ(now[3].fragChange, -2);
    EXPECT_EQ(now[4].fragChange, 44); // 300 kept in 8 bits
}

TEST(PlayersCarryOver, TwoPreviousRecordsOfOneNameBothApplyAndTheLaterWins) {
    std::vector<PlayerRecord> previous = {record("twin", 1, 1), record("twin", 4, 0)};
    std::vector<PlayerRecord> now = {record("twin", 5), record("twin", 5)};
    PlayersReplyParser::carryOver(previous, now, 9);
    EXPECT_EQ(now[0].selected, 0);
    EXPECT_EQ(now[0].fragChange, 1);
    EXPECT_EQ(now[1].fragChange, 0); // only the first record of the name is matched
}

TEST(ChallengeParser, RconChallengeNumbers) {
    struct Case {
        std::string payload;
        std::optional<std::uint32_t> number;
    } cases[] = {
        {"challenge rcon 4711\n", 4711u},
        {"challenge rcon 0\n", 0u},
        {"challenge rcon    12abc", 12u},
        {"challenge rcon \t99", 99u},
        {"challenge rcon ", std::nullopt},
        {"challenge rcon x1", std::nullopt},
        {"challenge rcon -5", std::nullopt},
        {"challenge rcon 4294967295", 4294967295u},
        {"challenge rcon 4294967296", std::nullopt},
        {"challenge rcon"
         "4711",
         std::nullopt},
        {"challenge rcon " + std::string(62, ' ') + "7", 7u},
        {"challenge rcon " + std::string(63, ' ') + "7", std::nullopt}, // past the 63 bytes
        {"Challenge rcon 5", std::nullopt},
    };
    for (const auto& c : cases) {
        auto bytes = textReply(c.payload);
        EXPECT_EQ(ChallengeParser::rconChallenge(bytes.data(), bytes.size()), c.number)
            << c.payload;
    }
}

TEST(ChallengeParser, SteamChallengeAndPrintText) {
    auto a = steamChallengeReply(-123456);
    EXPECT_EQ(ChallengeParser::steamChallenge(a.data(), a.size()), -123456);
    EXPECT_FALSE(ChallengeParser::steamChallenge(a.data(), a.size() - 1));
    auto l = textReply(std::string("lhello\nworld\0tail", 17));
    EXPECT_EQ(ChallengeParser::printText(l.data(), l.size()), "hello\nworld");
    auto open = textReply("lno end");
    EXPECT_EQ(ChallengeParser::printText(open.data(), open.size()), "no end");
}
