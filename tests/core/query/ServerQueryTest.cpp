// One server asked once (as a scan does), and the router that several such queries share.
#include "../fakes/FakeClock.h"
#include "../fakes/FakeSender.h"
#include "ReplyBuilder.h"

#include "query/DatagramRouter.h"
#include "query/ServerKnowledge.h"
#include "query/ServerQuery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

using namespace ondel;
using namespace ondel::test;

namespace {
using Texts = std::vector<std::string>;

struct Rig {
    ServerEntry server(const std::string& host = "10.0.0.1", int port = 27015) {
        ServerEntry e;
        e.address = {host, port};
        return e;
    }
    void receive(const Bytes& b, const std::string& host = "10.0.0.1", int port = 27015) {
        router.onDatagram(b.data(), b.size(), host, port);
    }
    FakeClock clock;
    FakeSender sender;
    DatagramRouter router{sender};
    ServerKnowledge knowledge;
};
} // namespace

TEST(ServerQueryOnce, UnknownLegacyServerIsAskedBothWaysAndSettledByItsAnswers) {
    Rig rig;
    ServerQuery q(rig.clock, rig.router, rig.knowledge, rig.server());
    std::optional<ServerQuery::Outcome> outcome;
    q.askOnce(true, 5000, [&](ServerQuery::Outcome o) { outcome = o; });
    // Details, players and rules, each in both dialects, at once.
    ASSERT_EQ(rig.sender.sent.size(), 6u);
    EXPECT_EQ(rig.sender.sent[0].text(), "details");
    EXPECT_EQ(rig.sender.sent[1].type(), 'T');
    EXPECT_EQ(rig.sender.sent[2].text(), "players");
    EXPECT_EQ(rig.sender.sent[3].type(), 0x55);
    EXPECT_EQ(rig.sender.sent[4].text(), "rules");
    EXPECT_EQ(rig.sender.sent[5].type(), 0x56);

    rig.clock.advance(30);
    rig.receive(infoReply());
    EXPECT_FALSE(rig.knowledge.dialect(q.entry().address)); // an `m` answers either request
    rig.receive(playersReply({{"alice", 3, 10}}));
    EXPECT_FALSE(outcome);
    rig.receive(rulesReply({{"mp_timelimit", "20"}}));
    ASSERT_EQ(outcome, ServerQuery::Outcome::Complete);
    EXPECT_EQ(q.entry().hostName, "My Server");
    EXPECT_EQ(q.entry().playerList.size(), 1u);
    EXPECT_EQ(q.entry().timeLimit, 20);
    EXPECT_EQ(q.entry().lastPing, 30);
    EXPECT_EQ(rig.knowledge.dialect(q.entry().address), QueryDialect::Legacy);

    // Known now: the next run asks in that dialect only.
    rig.sender.sent.clear();
    q.askOnce(false, 5000, [&](ServerQuery::Outcome o) { outcome = o; });
    EXPECT_EQ(rig.sender.takeTexts(), (Texts{"details", "players"}));
}

TEST(ServerQueryOnce, SteamChallengeSettlesSteamAndOverdueRequestsRepeatUntilTheTimeout) {
    Rig rig;
    ServerQuery q(rig.clock, rig.router, rig.knowledge, rig.server());
    std::vector<ServerQuery::Outcome> outcomes;
    q.askOnce(false, 5000, [&](ServerQuery::Outcome o) { outcomes.push_back(o); });
    rig.sender.sent.clear();
    rig.receive(steamChallengeReply(77));
    EXPECT_EQ(rig.knowledge.dialect(q.entry().address), QueryDialect::Steam);
    // The awaited Steam requests go again with the number; no legacy word any more.
    ASSERT_EQ(rig.sender.sent.size(), 2u);
    EXPECT_EQ(rig.sender.sent[0].type(), 'T');
    EXPECT_EQ(rig.sender.sent[1].type(), 0x55);
    rig.receive(steamInfoReply());
    rig.sender.sent.clear();

    rig.clock.advance(1999);
    q.tick();
    EXPECT_TRUE(rig.sender.sent.empty());
    rig.clock.advance(1);
    q.tick(); // players overdue: only it goes again
    ASSERT_EQ(rig.sender.sent.size(), 1u);
    EXPECT_EQ(rig.sender.sent[0].type(), 0x55);
    rig.clock.advance(3000);
    q.tick();
    EXPECT_EQ(outcomes, (std::vector<ServerQuery::Outcome>{ServerQuery::Outcome::TimedOut}));
    rig.receive(playersReply({{"late", 0, 1, 0}})); // after the end: not taken
    EXPECT_TRUE(q.entry().playerList.empty());
}

TEST(ServerQueryOnce, TheDoneHandlerMayDestroyTheQuery) {
    Rig rig;
    rig.knowledge.setDialect({"10.0.0.1", 27015}, QueryDialect::Legacy);
    auto q = std::make_unique<ServerQuery>(rig.clock, rig.router, rig.knowledge, rig.server());
    int done = 0;
    q->askOnce(false, 5000, [&](ServerQuery::Outcome) {
        ++done;
        q.reset();
    });
    rig.receive(infoReply());
    rig.receive(playersReply({}));
    EXPECT_EQ(done, 1);
    EXPECT_EQ(q, nullptr);
    rig.receive(infoReply()); // nobody watches any more
}

TEST(ServerQueryOnce, RepliesCutShortLeaveTheRequestsAwaitedForTheWholeOnes) {
    for (QueryDialect dialect : {QueryDialect::Legacy, QueryDialect::Steam}) {
        Rig rig;
        rig.knowledge.setDialect({"10.0.0.1", 27015}, dialect);
        ServerQuery q(rig.clock, rig.router, rig.knowledge, rig.server());
        std::optional<ServerQuery::Outcome> outcome;
        int replies = 0;
        q.setReplyHandler([&](ServerQuery::Reply) { ++replies; });
        q.askOnce(true, 5000, [&](ServerQuery::Outcome o) { outcome = o; });
        const Bytes info = dialect == QueryDialect::Steam ? steamInfoReply() : infoReply();
        const Bytes players = playersReply({{"alice", 3, 10}, {"bob", 1, 5}});
        const Bytes rules = rulesReply({{"mp_timelimit", "20"}, {"sv_gravity", "800"}});
        for (const Bytes* whole : {&info, &players, &rules}) {
            // The first 12 bytes, and all but the last byte: neither settles the request. (An
            // `m` reply is whole once it has its mod flag: what follows it is not used.)
            rig.receive(Bytes(whole->begin(), whole->begin() + 12));
            if (whole != &info || dialect == QueryDialect::Steam)
                rig.receive(Bytes(whole->begin(), whole->end() - 1));
        }
        EXPECT_FALSE(outcome);
        EXPECT_EQ(replies, 0);
        EXPECT_FALSE(q.entry().infoValid);
        EXPECT_TRUE(q.entry().playerList.empty());
        EXPECT_TRUE(q.entry().rules.empty());
        EXPECT_EQ(q.replyCounts().info + q.replyCounts().players + q.replyCounts().rules, 0u);

        rig.clock.advance(40);
        for (const Bytes* whole : {&info, &players, &rules})
            rig.receive(*whole);
        ASSERT_EQ(outcome, ServerQuery::Outcome::Complete);
        EXPECT_TRUE(q.entry().infoValid);
        EXPECT_EQ(q.entry().playerList.size(), 2u);
        EXPECT_EQ(q.entry().rules.size(), 2u);
        EXPECT_EQ(q.entry().lastPing, 40);
    }
}

TEST(DatagramRouter, NeverSendsToBroadcastMulticastOrThisNetwork) {
    Rig rig;
    std::uint8_t bytes[3] = {1, 2, 3};
    for (const char* host :
         {"255.255.255.255", "224.0.0.1", "239.255.255.250", "240.0.0.1", "0.0.0.0", "0.1.2.3"}) {
        EXPECT_EQ(rig.router.send({host, 27015}, bytes, 3, DatagramRouter::Traffic::Query),
                  DatagramRouter::SendStatus::Failed)
            << host;
    }
    EXPECT_TRUE(rig.sender.sent.empty());
    for (const char* host : {"223.255.255.255", "1.0.0.0", "10.0.0.255"})
        EXPECT_EQ(rig.router.send({host, 27015}, bytes, 3, DatagramRouter::Traffic::Query),
                  DatagramRouter::SendStatus::Sent)
            << host;
}

TEST(DatagramRouter, ABlockedServerGetsNoPacketWhoeverAsks) {
    Rig rig;
    rig.router.setRefusal([](const ServerAddress& to) -> std::optional<std::string> {
        if (to.host == "192.0.2.1")
            return std::string("192.0.2.0/24");
        return std::nullopt;
    });
    std::uint8_t bytes[3] = {1, 2, 3};
    for (auto traffic : {DatagramRouter::Traffic::Query, DatagramRouter::Traffic::Rcon})
        EXPECT_EQ(rig.router.send({"192.0.2.1", 27015}, bytes, 3, traffic),
                  DatagramRouter::SendStatus::Failed);
    EXPECT_TRUE(rig.sender.sent.empty());
    EXPECT_EQ(rig.router.send({"192.0.2.2", 27015}, bytes, 3, DatagramRouter::Traffic::Query),
              DatagramRouter::SendStatus::Sent);
}

TEST(DatagramRouter, DeliversToEveryWatcherOfTheSenderAndCountsEverything) {
    Rig rig;
    rig.sender.resolved["game.example.org"] = "192.0.2.7";
    std::vector<std::string> got;
    DatagramRouter::WatchId second = 0;
    rig.router.watch({"10.0.0.1", 27015}, [&](const std::uint8_t*, std::size_t) {
        got.push_back("first");
        rig.router.unwatch(second); // a watcher going during a delivery is not called
    });
    second = rig.router.watch({"10.0.0.1", 27015},
                              [&](const std::uint8_t*, std::size_t) { got.push_back("second"); });
    rig.router.watch({"game.example.org", 27015},
                     [&](const std::uint8_t*, std::size_t) { got.push_back("named"); });
    rig.receive(textReply("j"));
    rig.receive(textReply("j"), "192.0.2.7");
    rig.receive(textReply("j"), "10.0.0.1", 27016);
    Bytes other = textReply("j");
    other[0] = 0x00; // not out-of-band: counted, never delivered
    rig.receive(other);
    EXPECT_EQ(got, (Texts{"first", "named"}));

    std::uint8_t bytes[3] = {1, 2, 3};
    EXPECT_EQ(rig.router.send({"10.0.0.1", 27015}, bytes, 3, DatagramRouter::Traffic::Query),
              DatagramRouter::SendStatus::Sent);
    EXPECT_EQ(rig.router.send({"", 27015}, bytes, 3, DatagramRouter::Traffic::Rcon),
              DatagramRouter::SendStatus::Failed);
    rig.router.rollCounters();
    EXPECT_EQ(rig.router.sentPerSecond(), 3);
    EXPECT_EQ(rig.router.receivedPerSecond(), static_cast<std::int32_t>(4 * textReply("j").size()));
}

TEST(ServerQueryContinuous, LostRepliesAndAnOutageKeepTheRateButARepeatedSilenceSlowsDown) {
    Rig rig;
    ServerQuery q(rig.clock, rig.router, rig.knowledge, rig.server());
    q.setSchedule(ServerQuery::polite());
    auto answerAwaited = [&] {
        if (q.awaitingSince(RequestSlot::Details))
            rig.receive(infoReply());
        if (q.awaitingSince(RequestSlot::Players))
            rig.receive(playersReply({}));
        if (q.awaitingSince(RequestSlot::Rules))
            rig.receive(rulesReply({}));
    };
    auto run = [&](int seconds, bool answering) {
        for (int second = 0; second < seconds; ++second) {
            q.tick();
            if (answering)
                answerAwaited();
            rig.clock.advance(1000);
        }
    };
    auto detailsSent = [&] {
        auto texts = rig.sender.takeTexts();
        return std::count(texts.begin(), texts.end(), "details");
    };
    for (int second = 0; second < 20; ++second) {
        q.tick();
        if (second != 7) // one second's replies are lost
            answerAwaited();
        rig.clock.advance(1000);
    }
    EXPECT_FALSE(rig.knowledge.limitsQueries(q.entry().address));

    run(8, false); // stopped for 8 s: an outage, the rate stays
    EXPECT_FALSE(rig.knowledge.limitsQueries(q.entry().address));
    rig.sender.sent.clear();
    run(30, true);
    EXPECT_EQ(detailsSent(), 30);

    run(6, false); // quiet again within the minute: the server's limit
    EXPECT_DOUBLE_EQ(rig.knowledge.slowdown(q.entry().address), 2.0);
    EXPECT_EQ(q.detailsIntervalMs(), 2000u);
    rig.sender.sent.clear();
    run(20, true); // answering again, at half the rate
    auto texts = rig.sender.takeTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "details"), 10);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "players"), 5);
}
