#include "../fakes/FakeClock.h"
#include "../fakes/FakeSender.h"
#include "ReplyBuilder.h"

#include "common/ByteReader.h"
#include "query/DatagramRouter.h"
#include "query/QueryEngine.h"
#include "query/ResultStore.h"
#include "query/ServerKnowledge.h"
#include "serverlist/ServerListSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace ondel;
using namespace ondel::test;

namespace {
using Texts = std::vector<std::string>;
const Texts kFirstTick = {"rules", "details", "players"};

class QueryEngineTest : public ::testing::Test {
protected:
    QueryEngineTest() {
        lists.append(
            ServerList("/data/serverlist.sl06", "/data/serverlist.sl06", "Custom server list"));
        engine.setResultHandler([this](QueryEngine::Result what, const ServerEntry& record) {
            storeResult(lists, what, record);
            if (what == QueryEngine::Result::Info && infoHook)
                infoHook();
        });
    }

    static ServerEntry server(const std::string& host = "10.0.0.1", int port = 27015) {
        ServerEntry e;
        e.address = {host, port};
        return e;
    }
    void receive(const Bytes& b, const std::string& host = "10.0.0.1", int port = 27015) {
        router.onDatagram(b.data(), b.size(), host, port);
    }
    // Advances the clock by ms and runs one cycle.
    void tick(std::uint32_t ms = 1000) {
        clock.advance(ms);
        engine.queryTick();
    }
    void answerEverything() {
        receive(textReply("j"));
        receive(rulesReply({{"mp_timelimit", "30"}}));
        receive(infoReply());
        receive(playersReply({{"alice", 3, 10}}));
    }

    FakeClock clock;
    FakeSender sender;
    ServerListSet lists;
    DatagramRouter router{sender};
    ServerKnowledge knowledge;
    QueryEngine engine{clock, router, knowledge};
    std::function<void()> infoHook;
};
} // namespace

TEST_F(QueryEngineTest, FirstTickAsksRulesDetailsAndPlayersWithTheirExactBytes) {
    engine.setCurrentServer(server());
    tick();
    ASSERT_EQ(sender.sent.size(), 3u);
    const std::size_t lengths[] = {10, 12, 12};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sender.sent[i].host, "10.0.0.1");
        EXPECT_EQ(sender.sent[i].port, 27015);
        EXPECT_EQ(sender.sent[i].bytes.size(), lengths[i]);
        EXPECT_EQ(sender.sent[i].bytes.back(), 0);
        EXPECT_EQ(sender.sent[i].bytes[0], 0xFF);
    }
    EXPECT_EQ(sender.takeTexts(), kFirstTick);
    EXPECT_EQ(engine.awaitingSince(RequestSlot::Details), clock.tickMs());
}

TEST_F(QueryEngineTest, AnsweredServerCostsNineteenBytesASecondAndEverythingArrivingCounts) {
    engine.setCurrentServer(server());
    tick();
    answerEverything();
    receive(textReply("jxx"), "10.0.0.1", 27016); // another port: dropped, still counted
    std::int32_t expected = static_cast<std::int32_t>(
        textReply("j").size() + rulesReply({{"mp_timelimit", "30"}}).size() + infoReply().size() +
        playersReply({{"alice", 3, 10}}).size() + 7);
    tick();
    EXPECT_EQ(engine.receivedPerSecond(), expected);
    EXPECT_EQ(engine.sentPerSecond(), 34);
    // Details every second, players every 2 s, rules every 10 s: 190 bytes in 10 s.
    std::int32_t sent = 0;
    for (int i = 0; i < 10; ++i) {
        answerEverything();
        tick();
        sent += engine.sentPerSecond();
    }
    EXPECT_EQ(sent, 190);
    tick(); // nothing answered in between: counters roll to 0 received
    EXPECT_EQ(engine.receivedPerSecond(), 0);
}

TEST_F(QueryEngineTest, WithoutAUsableServerNothingIsSentButCountersRoll) {
    for (const auto& e : {server("", 27015), server("10.0.0.1", 0), server("localhost", 27015)}) {
        engine.setCurrentServer(e);
        receive(Bytes(10, 0));
        tick();
        EXPECT_TRUE(sender.sent.empty()) << e.address.host;
        EXPECT_EQ(engine.sentPerSecond(), 0);
        EXPECT_EQ(engine.receivedPerSecond(), 10);
        tick();
        EXPECT_EQ(engine.receivedPerSecond(), 0);
    }
}

TEST_F(QueryEngineTest, OnlyAwaitedKindsAreTakenAndEachOnlyOnce) {
    engine.setCurrentServer(server());
    receive(infoReply()); // nothing asked yet
    EXPECT_FALSE(engine.currentServer().infoValid);
    tick();
    receive(infoReply());
    EXPECT_EQ(engine.currentServer().hostName, "My Server");
    InfoFields second;
    second.name = "Second copy";
    receive(infoReply(second));
    EXPECT_EQ(engine.currentServer().hostName, "My Server");

    receive(rulesReply({{"mp_timelimit", "30"}}));
    receive(rulesReply({{"mp_timelimit", "45"}}));
    EXPECT_EQ(engine.currentServer().timeLimit, 30);
    receive(playersReply({{"a", 1, 1}}));
    receive(playersReply({{"a", 1, 1}, {"b", 1, 1}}));
    EXPECT_EQ(engine.currentServer().playerList.size(), 1u);
    receive(textReply("j")); // no ping is asked: the details round trip is the ping
    EXPECT_EQ(engine.replyCounts().ping, 1u);
    for (RequestSlot slot : kRequestSlots)
        EXPECT_EQ(engine.awaitingSince(slot), 0u) << static_cast<int>(slot);
}

TEST_F(QueryEngineTest, RepliesFromAnyoneButTheCurrentServerAreDropped) {
    struct Case {
        std::string typed;
        std::string from;
        int port;
        bool accepted;
    } cases[] = {
        {"10.0.0.1", "10.0.0.1", 27015, true},
        {"10.0.0.1", "10.0.0.1", 27016, false},
        {"10.0.0.1", "10.0.0.2", 27015, false},
        {"010.0.0.1", "10.0.0.1", 27015, false}, // dotted text compared as typed
        {"game.example.org", "192.0.2.7", 27015, true},
        {"game.example.org", "192.0.2.8", 27015, false},
        {"other.example.org", "192.0.2.7", 27015, false}, // not resolved (yet)
    };
    sender.resolved["game.example.org"] = "192.0.2.7";
    sender.resolved["010.0.0.1"] = "10.0.0.1"; // must not be asked for dotted text
    for (const auto& c : cases) {
        engine.setCurrentServer(server(c.typed));
        engine.setCurrentServer(server(c.typed)); // same server: clears the slots
        tick();
        receive(infoReply(), c.from, c.port);
        EXPECT_EQ(engine.awaitingSince(RequestSlot::Details) == 0, c.accepted)
            << c.typed << " " << c.from;
    }
    // The header must be four 0xFF bytes.
    engine.setCurrentServer(server());
    engine.setCurrentServer(server());
    tick();
    auto bytes = infoReply();
    bytes[3] = 0x7F;
    receive(bytes);
    EXPECT_NE(engine.awaitingSince(RequestSlot::Details), 0u);
}

TEST_F(QueryEngineTest, UnansweredRequestsRepeatAfterTwoSecondsAndTheTimeoutShowsAfterFive) {
    engine.setCurrentServer(server());
    tick();
    receive(rulesReply({})); // the server answers rules once, then falls silent
    sender.sent.clear();
    tick(1999);
    EXPECT_TRUE(sender.sent.empty());
    tick(1); // 2000 ms after the first requests
    EXPECT_EQ(sender.takeTexts(), (Texts{"details", "players"}));
    tick(2999); // the first details went out 4999 ms ago
    EXPECT_EQ(sender.takeTexts(), (Texts{"details", "players"}));
    EXPECT_EQ(engine.currentServer().lastPing, 0);
    tick(1);
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(engine.currentServer().lastPing, 3000);
    // A first silence on every kind, well within the stock limit, is an outage, not a limit.
    EXPECT_EQ(engine.limitedRefreshSeconds(), 0);
}

TEST_F(QueryEngineTest, PingAverageTimeoutAndRestart) {
    ServerEntry e = server();
    engine.setCurrentServer(e);
    tick();
    clock.advance(40);
    receive(infoReply());
    EXPECT_EQ(engine.currentServer().lastPing, 40);
    EXPECT_FLOAT_EQ(engine.currentServer().averagePing, 40.0f);
    tick();
    clock.advance(60);
    receive(infoReply());
    EXPECT_EQ(engine.currentServer().averagePing, 42.0f);

    // The server goes quiet: 5 s after the last ping the timeout shows, the average stays.
    tick();
    for (int i = 0; i < 4; ++i)
        tick();
    EXPECT_NE(engine.currentServer().lastPing, 3000);
    tick();
    EXPECT_EQ(engine.currentServer().lastPing, 3000);
    EXPECT_EQ(engine.currentServer().averagePing, 42.0f);
    // A late answer is measured from the latest details request (repeated 1000 ms ago).
    clock.advance(300);
    receive(infoReply());
    EXPECT_EQ(engine.currentServer().lastPing, 1300);

    // A round trip of 0 keeps the average at 0, and the next sample starts it again.
    e.averagePing = 0.0f;
    engine.setCurrentServer(e);
    tick();
    receive(infoReply());
    EXPECT_EQ(engine.currentServer().averagePing, 0.0f);
    tick(2000); // the silence was taken as the server's limit: details every 2 s now
    clock.advance(80);
    receive(infoReply());
    EXPECT_EQ(engine.currentServer().averagePing, 80.0f);
}

TEST_F(QueryEngineTest, TheCycleGoesOnAcrossTheTickCounterWrap) {
    clock.setTick(0xFFFFFFFFu - 1500);
    engine.setCurrentServer(server());
    engine.queryTick();
    sender.sent.clear();
    tick(1000); // 500 ms before the wrap: nothing overdue
    EXPECT_TRUE(sender.sent.empty());
    clock.advance(700);
    receive(infoReply()); // details sent before the wrap, answered after it
    EXPECT_EQ(engine.currentServer().lastPing, 1700);
    tick(300); // past the wrap, 2000 ms after the send: players overdue, details due
    EXPECT_EQ(sender.takeTexts(), (Texts{"details", "players"}));
}

TEST_F(QueryEngineTest, InfoReplyStoresTheServerAtTheFrontAndCallsTheHook) {
    ServerList& list = lists.current();
    for (int i = 0; i < 6; ++i)
        list.entries().push_back(server("10.0.0." + std::to_string(10 + i)));
    int hookCalls = 0;
    infoHook = [&] {
        ++hookCalls;
        EXPECT_EQ(lists.current().entries().front().address.host,
                  engine.currentServer().address.host);
    };

    // A server at index 5 moves to the front with every info reply.
    ServerEntry known = server("10.0.0.15");
    known.comment = "keep me";
    engine.setCurrentServer(known); // stores it, which moves it to the front
    std::rotate(list.entries().begin(), list.entries().begin() + 1, list.entries().end());
    ASSERT_EQ(list.find(known.address), 5);
    tick();
    receive(infoReply(), "10.0.0.15");
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list.entries()[0].hostName, "My Server");
    EXPECT_EQ(list.entries()[0].comment, "keep me");
    EXPECT_TRUE(list.entries()[0].infoValid);
    EXPECT_EQ(list.entries()[0].infoTime, clock.nowMs1601());
    EXPECT_EQ(hookCalls, 1);

    // A typed server joins the list with its first info reply, not before.
    engine.setCurrentServer(server("10.0.0.99"));
    EXPECT_EQ(list.size(), 6u);
    engine.setCurrentServer(server("10.0.0.99"));
    tick();
    receive(infoReply(), "10.0.0.99");
    EXPECT_EQ(list.size(), 7u);
    EXPECT_EQ(list.entries()[0].address.host, "10.0.0.99");
    EXPECT_EQ(hookCalls, 2);

    // A truncated info reply is dropped whole: nothing stored, no hook, and the whole reply that
    // follows is still awaited.
    engine.setCurrentServer(server("10.0.0.50"));
    engine.setCurrentServer(server("10.0.0.50"));
    tick();
    auto cut = infoReply();
    cut.resize(20);
    receive(cut, "10.0.0.50");
    EXPECT_FALSE(engine.currentServer().infoValid);
    EXPECT_EQ(list.size(), 7u);
    EXPECT_EQ(hookCalls, 2);
    EXPECT_NE(engine.awaitingSince(RequestSlot::Details), 0u);
    receive(infoReply(), "10.0.0.50");
    EXPECT_TRUE(engine.currentServer().infoValid);
    EXPECT_EQ(hookCalls, 3);
    EXPECT_EQ(engine.awaitingSince(RequestSlot::Details), 0u);
}

TEST_F(QueryEngineTest, RulesReplySetsValidityAndTime) {
    engine.setCurrentServer(server());
    tick();
    receive(rulesReply({{"mp_timeleft", "abc"}}));
    EXPECT_TRUE(engine.currentServer().rulesValid);
    EXPECT_EQ(engine.currentServer().rulesTime, clock.nowMs1601());
    EXPECT_EQ(engine.currentServer().timeLeft, -1);
}

TEST_F(QueryEngineTest, PlayerWorkingFieldsCarryOverOnlyBetweenRecentReplies) {
    engine.setCurrentServer(server());
    tick();
    receive(playersReply({{"alice", 10, 5}, {"bob", 3, 5}}));
    EXPECT_EQ(engine.currentServer().playersTime, clock.nowMs1601());
    ServerEntry e = engine.currentServer();
    e.playerList[1].selected = 1; // the view selected bob
    engine.setCurrentServer(e);

    tick(2000);
    std::uint32_t changeTick = clock.tickMs();
    receive(playersReply({{"alice", 12, 6}, {"bob", 1, 6}}));
    auto players = engine.currentServer().playerList;
    EXPECT_EQ(players[0].fragChange, 2);
    EXPECT_EQ(players[0].fragChangeTick, changeTick);
    EXPECT_EQ(players[1].fragChange, -2);
    EXPECT_EQ(players[1].selected, 1);

    tick(2000);
    receive(playersReply({{"alice", 12, 7}, {"bob", 1, 7}}));
    players = engine.currentServer().playerList;
    EXPECT_EQ(players[0].fragChange, 2);
    EXPECT_EQ(players[0].fragChangeTick, changeTick);

    // Exactly 5000 ms later still carries over; 6000 ms does not.
    tick(5000);
    receive(playersReply({{"alice", 12, 8}, {"bob", 1, 8}}));
    EXPECT_EQ(engine.currentServer().playerList[1].selected, 1);
    clock.advance(6000);
    engine.setCurrentServer(engine.currentServer());
    engine.queryTick();
    receive(playersReply({{"alice", 20, 9}, {"bob", 1, 9}}));
    for (const auto& p : engine.currentServer().playerList) {
        EXPECT_EQ(p.fragChange, 0);
        EXPECT_EQ(p.fragChangeTick, 0u);
        EXPECT_EQ(p.selected, 0);
    }
}

TEST_F(QueryEngineTest, PlayersTimeFromAFileCannotOverflowTheCarryOverTest) {
    ServerEntry e = server();
    e.playersTime = std::numeric_limits<std::int64_t>::max();
    e.playerList.resize(1);
    e.playerList[0].name = "x";
    e.playerList[0].selected = 1;
    engine.setCurrentServer(e);
    tick();
    receive(playersReply({{"x", 1, 1}}));
    EXPECT_EQ(engine.currentServer().playerList.size(), 1u);
}

TEST_F(QueryEngineTest, SetCurrentServerClearsSlotsOnlyForTheSameServerAndStoresOnlyKnownOnes) {
    ServerList& list = lists.current();
    list.entries().push_back(server("10.0.0.7"));
    list.entries().push_back(server("10.0.0.1"));
    engine.setCurrentServer(server());
    tick();
    sender.sent.clear();

    ServerEntry edited = server();
    edited.comment = "edited";
    engine.setCurrentServer(edited);
    EXPECT_EQ(list.entries()[0].comment, "edited");
    for (RequestSlot slot : kRequestSlots)
        EXPECT_EQ(engine.awaitingSince(slot), 0u);
    tick(); // details, answered or not, go again after a second
    EXPECT_EQ(sender.takeTexts(), (Texts{"details"}));

    engine.setCurrentServer(server("10.0.0.8")); // another server, not in the list
    EXPECT_EQ(list.size(), 2u);
    EXPECT_NE(engine.awaitingSince(RequestSlot::Details), 0u);
    EXPECT_EQ(engine.currentServer().address.host, "10.0.0.8");
    receive(infoReply(), "10.0.0.8"); // the slot still waits: the new server's answer is taken
    EXPECT_TRUE(engine.currentServer().infoValid);
}

TEST_F(QueryEngineTest, PrintRepliesGoToTheHandlerOnlyWhileOneIsSet) {
    engine.setCurrentServer(server());
    std::vector<std::string> printed;
    receive(textReply("lnobody listens"));
    engine.setPrintHandler([&](std::string_view text) { printed.emplace_back(text); });
    receive(textReply(std::string("lline one\n\0junk", 16)));
    receive(textReply("lfrom elsewhere"), "10.0.0.2");
    engine.clearPrintHandler();
    receive(textReply("llate"));
    EXPECT_EQ(printed, (std::vector<std::string>{"line one\n"}));
}

TEST_F(QueryEngineTest, RconChallengeIsStoredUnlessItIsZero) {
    engine.setCurrentServer(server());
    receive(textReply("challenge rcon 4711\n"));
    EXPECT_EQ(engine.currentServer().rconChallenge, 4711u);
    receive(textReply("challenge rcon 0\n"));
    EXPECT_EQ(engine.currentServer().rconChallenge, 4711u);
    receive(textReply("challenge rcon none"));
    EXPECT_EQ(engine.currentServer().rconChallenge, 4711u);
    receive(textReply("challenge rcon 99"), "10.0.0.1", 1);
    EXPECT_EQ(engine.currentServer().rconChallenge, 4711u);
}

TEST_F(QueryEngineTest, OutOfBandSendsAreBoundedAndOnlyCountedWhenSent) {
    engine.setCurrentServer(server());
    EXPECT_TRUE(engine.sendOutOfBand(std::string(1019, 'a')));
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0].bytes.size(), 1024u);
    EXPECT_FALSE(engine.sendOutOfBand(std::string(1020, 'a')));
    EXPECT_EQ(sender.sent.size(), 1u);
    sender.failSends = true;
    EXPECT_FALSE(engine.sendOutOfBand("rcon 1 pw status"));
    tick(); // failed sends still mark the requests as awaited
    EXPECT_EQ(engine.sentPerSecond(), 1024);
    EXPECT_NE(engine.awaitingSince(RequestSlot::Rules), 0u);
    sender.failSends = false;
    tick();
    EXPECT_EQ(engine.sentPerSecond(), 0);
    EXPECT_TRUE(sender.sent.size() == 1u);
}

TEST_F(QueryEngineTest, SplitRepliesAreReassembledAndEveryFragmentCounts) {
    engine.setCurrentServer(server());
    tick();
    std::vector<std::pair<std::string, std::string>> rules;
    for (int i = 0; i < 200; ++i)
        rules.push_back({"rule" + std::to_string(i), "value" + std::to_string(i)});
    auto whole = rulesReply(rules);
    auto parts = split(whole, 42, 1000);
    ASSERT_GE(parts.size(), 3u);
    std::size_t total = 0;
    receive(parts[0], "10.0.0.9"); // someone else's fragment is not taken
    total += parts[0].size();
    for (std::size_t i = parts.size(); i-- > 0;) {
        receive(parts[i]);
        total += parts[i].size();
    }
    ASSERT_EQ(engine.currentServer().rules.size(), 200u);
    EXPECT_EQ(engine.currentServer().rules[199].value, "value199");
    tick();
    EXPECT_EQ(engine.receivedPerSecond(), static_cast<std::int32_t>(total));

    // Printed output arrives split as well.
    std::string printed;
    engine.setPrintHandler([&](std::string_view t) { printed = t; });
    std::string longText(3000, 'x');
    for (const auto& p : split(textReply("l" + longText), 43, 1200))
        receive(p);
    EXPECT_EQ(printed, longText);
}

// --- Dialects -------------------------------------------------------------------------------

namespace {
bool isLegacyWord(const FakeSender::Sent& s) {
    std::string t = s.text();
    return t == "ping" || t == "rules" || t == "details" || t == "players";
}
std::int32_t challengeOf(const FakeSender::Sent& s, std::size_t offset) {
    ByteReader in(s.bytes.data(), s.bytes.size());
    in.skip(offset);
    return in.i32();
}
} // namespace

TEST_F(QueryEngineTest, AnsweringLegacyServerNeverReceivesASteamRequest) {
    engine.setCurrentServer(server());
    for (int i = 0; i < 30; ++i) {
        tick();
        if (i % 3 != 2) // some seconds nothing arrives at all
            answerEverything();
        else {
            tick(2500); // two details requests in a row go unanswered
            tick(2500);
        }
    }
    for (const auto& s : sender.sent)
        EXPECT_TRUE(isLegacyWord(s)) << s.text();
    EXPECT_TRUE(engine.dialectSettled());
    EXPECT_EQ(engine.dialect(), QueryDialect::Legacy);
}

TEST_F(QueryEngineTest, TwoUnansweredDetailsSwitchToSteamAndBackUntilOneAnswers) {
    engine.setCurrentServer(server());
    tick();
    tick(2000);
    EXPECT_EQ(sender.takeTexts(), (Texts{"rules", "details", "players", "details", "players"}));
    tick(2000); // the second miss: the Steam requests take the same slots
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[0].bytes.size(), 25u);
    EXPECT_EQ(sender.sent[0].text(), std::string("TSource Engine Query"));
    EXPECT_EQ(sender.sent[1].type(), 0x55);
    EXPECT_EQ(challengeOf(sender.sent[1], 5), -1);
    EXPECT_EQ(sender.sent[1].bytes.size(), 9u);
    EXPECT_FALSE(engine.dialectSettled());
    sender.sent.clear();
    tick(2000);
    tick(2000); // two Steam misses: back to legacy
    auto texts = sender.takeTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "players");
    EXPECT_EQ(texts[texts.size() - 2], "details");
}

TEST_F(QueryEngineTest, SteamServerChallengeRoundTripsAndTheDialectIsKept) {
    engine.setCurrentServer(server());
    tick();
    tick(2000);
    tick(2000);
    sender.sent.clear();
    ASSERT_EQ(engine.dialect(), QueryDialect::Steam);

    // The server wants a challenge for everything, info included.
    receive(steamChallengeReply(0x1234567));
    ASSERT_EQ(sender.sent.size(), 3u);
    EXPECT_EQ(sender.sent[0].bytes.size(), 29u); // A2S_INFO with the number appended
    EXPECT_EQ(challengeOf(sender.sent[0], 25), 0x1234567);
    EXPECT_EQ(challengeOf(sender.sent[1], 5), 0x1234567);
    EXPECT_EQ(sender.sent[1].type(), 0x56);
    EXPECT_EQ(challengeOf(sender.sent[2], 5), 0x1234567);
    receive(steamChallengeReply(0x1234567)); // the second request's challenge: nothing new
    EXPECT_EQ(sender.sent.size(), 3u);

    SteamInfoFields info;
    receive(steamInfoReply(info));
    receive(infoReply()); // the same request answered in the other layout too: dropped
    EXPECT_EQ(engine.currentServer().hostName, "Steam Server");
    receive(rulesReply({{"mp_timelimit", "25"}}));
    receive(playersReply({{"bot1", 0, 1, 0}, {"bot2", 0, 1, 0}}));
    EXPECT_EQ(engine.currentServer().timeLimit, 25);
    EXPECT_EQ(engine.currentServer().playerList.size(), 2u);
    EXPECT_TRUE(engine.dialectSettled());

    // From now on one datagram per request, carrying the known number.
    sender.sent.clear();
    tick();
    tick(); // details still awaited; players due
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(challengeOf(sender.sent[0], 25), 0x1234567);
    EXPECT_EQ(sender.sent[1].type(), 0x55);
    EXPECT_EQ(challengeOf(sender.sent[1], 5), 0x1234567);

    // The dialect belongs to the server for the run.
    engine.setCurrentServer(server("10.0.0.2"));
    engine.setCurrentServer(server("10.0.0.2"));
    tick();
    EXPECT_EQ(engine.dialect(), QueryDialect::Legacy);
    engine.setCurrentServer(server());
    engine.setCurrentServer(server());
    sender.sent.clear();
    tick();
    EXPECT_EQ(engine.dialect(), QueryDialect::Steam);
    ASSERT_FALSE(sender.sent.empty());
    EXPECT_EQ(sender.sent[0].type(), 'T');
}

TEST_F(QueryEngineTest, ChallengesAreIgnoredInLegacyAndCannotDriveAnEndlessExchange) {
    engine.setCurrentServer(server());
    tick();
    sender.sent.clear();
    receive(steamChallengeReply(5));
    EXPECT_TRUE(sender.sent.empty());

    tick(2000);
    tick(2000);
    sender.sent.clear();
    for (int i = 0; i < 50; ++i)
        receive(steamChallengeReply(1000 + i)); // a fresh number every time
    EXPECT_LE(sender.sent.size(), 6u);
    EXPECT_GE(sender.sent.size(), 3u);
}

TEST_F(QueryEngineTest, FirstOfTwoInfoLayoutsWins) {
    engine.setCurrentServer(server());
    tick();
    tick(2000);
    tick(2000);
    receive(infoReply()); // an `m` answer to A2S_INFO settles Steam too
    SteamInfoFields info;
    receive(steamInfoReply(info));
    EXPECT_EQ(engine.currentServer().hostName, "My Server");
    EXPECT_EQ(engine.dialect(), QueryDialect::Steam);
    EXPECT_TRUE(engine.dialectSettled());
}

TEST_F(QueryEngineTest, EachUnansweredDetailsRequestIsOneMissOnceTheServerIsKnown) {
    int misses = 0;
    engine.setResultHandler([&](QueryEngine::Result what, const ServerEntry&) {
        misses += what == QueryEngine::Result::Miss ? 1 : 0;
    });
    // A server never heard from: the first two silent requests may be the wrong dialect.
    engine.setCurrentServer(server());
    for (int i = 0; i < 7; ++i)
        tick();
    const int unknownMisses = misses;
    EXPECT_GE(unknownMisses, 1);

    // Answering, then silent: one miss per request that went unanswered, none while answering.
    engine.setCurrentServer(server("10.0.0.2"));
    misses = 0;
    for (int i = 0; i < 5; ++i) {
        tick();
        answerEverything();
        receive(infoReply(), "10.0.0.2");
    }
    EXPECT_EQ(misses, 0);
    const std::size_t before = sender.sent.size();
    for (int i = 0; i < 10; ++i)
        tick();
    // Details are asked again every 2 s while unanswered: one miss for each request that went
    // unanswered, the last one still being within its time.
    int detailsAsked = 0;
    for (std::size_t k = before; k < sender.sent.size(); ++k) {
        const auto& bytes = sender.sent[k].bytes;
        detailsAsked += std::string(bytes.begin() + 4, bytes.end()).starts_with("details");
    }
    EXPECT_EQ(detailsAsked, 5);
    EXPECT_EQ(misses, detailsAsked - 1);
}
