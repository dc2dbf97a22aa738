// The many-server scan over the query layer, with a fake clock and sender.
#include "../fakes/FakeClock.h"
#include "../fakes/FakeSender.h"
#include "../query/ReplyBuilder.h"

#include "browser/Scan.h"
#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/ServerKnowledge.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

using namespace ondel;
using namespace ondel::test;

namespace {

struct Rig {
    // budgetRate above 0: the router holds sends to that many packets a second per server.
    explicit Rig(ScanOptions options = {}, double budgetRate = 0)
        : budget(budgetRate > 0 ? std::make_unique<QueryBudget>(clock, budgetRate, 60000)
                                : nullptr),
          router(sender, budget.get()), scan(clock, router, knowledge, options) {
        scan.setResultHandler([this](const ScanResult& r) { results.push_back(r); });
        scan.setFinishedHandler([this] { ++finished; });
    }
    static ServerAddress server(int i) { return {"10.0.0.1", 27000 + i}; }
    void receive(int i, const Bytes& b) {
        router.onDatagram(b.data(), b.size(), "10.0.0.1", 27000 + i);
    }
    // Ports that got a datagram since the last call.
    std::set<int> takeTargets() {
        std::set<int> ports;
        for (const auto& s : sender.sent)
            ports.insert(s.port);
        sender.sent.clear();
        return ports;
    }
    // What went to server i since the last clear: legacy words as text, Steam requests as 'T',
    // 'U', 'V'.
    std::vector<std::string> requestsTo(int i) const {
        std::vector<std::string> out;
        for (const auto& s : sender.sent) {
            if (s.port != 27000 + i)
                continue;
            int t = s.type();
            out.push_back(t == 'T' ? "T" : t == 0x55 ? "U" : t == 0x56 ? "V" : s.text());
        }
        return out;
    }

    FakeClock clock;
    FakeSender sender;
    ServerKnowledge knowledge;
    std::unique_ptr<QueryBudget> budget;
    DatagramRouter router;
    Scan scan;
    std::vector<ScanResult> results;
    int finished = 0;
};

using Texts = std::vector<std::string>;

} // namespace

TEST(Scan, StartsAtThePacedRateAndNeverMoreThanTheConcurrencyAtOnce) {
    ScanOptions options;
    options.startsPerSecond = 1000; // one a ms, up to 20 saved up
    options.concurrency = 30;
    Rig rig(options);
    std::vector<ServerAddress> servers;
    for (int i = 0; i < 100; ++i)
        servers.push_back(Rig::server(i));
    rig.scan.add(servers);
    EXPECT_EQ(rig.takeTargets().size(), 20u);
    rig.clock.advance(5);
    rig.scan.tick();
    EXPECT_EQ(rig.takeTargets().size(), 5u);
    rig.clock.advance(100);
    rig.scan.tick();
    EXPECT_EQ(rig.takeTargets().size(), 5u); // 30 in flight: full
    EXPECT_EQ(rig.scan.inFlight(), 30u);

    // Answers free places; the next tick fills them (the pace has saved up meanwhile).
    for (int i = 0; i < 4; ++i) {
        rig.receive(i, infoReply());
        rig.receive(i, playersReply({}));
    }
    EXPECT_EQ(rig.results.size(), 4u); // reported on the answer, before any tick
    EXPECT_EQ(rig.scan.completed(), 4u);
    rig.scan.tick();
    EXPECT_EQ(rig.takeTargets(), (std::set<int>{27030, 27031, 27032, 27033}));
    EXPECT_EQ(rig.scan.total(), 100u);
}

TEST(Scan, UnknownServersAreAskedInBothDialectsAndKnownOnesInTheirOwn) {
    Rig rig;
    rig.scan.add({Rig::server(0), Rig::server(1)});
    EXPECT_EQ(rig.requestsTo(0), (Texts{"details", "T", "players", "U"}));
    EXPECT_EQ(rig.requestsTo(1), (Texts{"details", "T", "players", "U"}));
    rig.sender.sent.clear();

    rig.clock.advance(12);
    rig.receive(0, infoReply()); // legacy server: m and D, nothing to the Steam requests
    rig.receive(0, playersReply({{"alice", 7, 60}}));
    rig.receive(1, steamChallengeReply(99)); // Steam server: players need the challenge
    rig.clock.advance(3);
    SteamInfoFields steam;
    steam.bots = 4;
    rig.receive(1, steamInfoReply(steam));
    // The challenge settles Steam: the awaited requests go again with it, no legacy word.
    EXPECT_EQ(rig.requestsTo(1), (Texts{"T", "U"}));
    rig.receive(1, playersReply({{"bot", 0, 5, 0}}));
    ASSERT_EQ(rig.results.size(), 2u);
    EXPECT_EQ(rig.finished, 1);

    const ScanResult& legacy = rig.results[0];
    EXPECT_EQ(legacy.index, 0u);
    EXPECT_EQ(legacy.status, ScanResult::Status::Up);
    EXPECT_EQ(legacy.dialect, QueryDialect::Legacy);
    EXPECT_EQ(legacy.pingMs, 12);
    EXPECT_EQ(legacy.entry.hostName, "My Server");
    ASSERT_EQ(legacy.entry.playerList.size(), 1u);
    EXPECT_TRUE(legacy.gotPlayers);
    EXPECT_FALSE(legacy.gotRules);
    EXPECT_EQ(legacy.bots, -1);
    const ScanResult& steamResult = rig.results[1];
    EXPECT_EQ(steamResult.index, 1u);
    EXPECT_EQ(steamResult.dialect, QueryDialect::Steam);
    EXPECT_EQ(steamResult.entry.hostName, "Steam Server");
    EXPECT_EQ(steamResult.pingMs, 15);
    EXPECT_EQ(steamResult.bots, 4);

    // The next round: each server in its own dialect only, counted from 0 again.
    rig.sender.sent.clear();
    rig.scan.add({Rig::server(1), Rig::server(0)});
    EXPECT_EQ(rig.requestsTo(0), (Texts{"details", "players"}));
    EXPECT_EQ(rig.requestsTo(1), (Texts{"T", "U"}));
    EXPECT_EQ(rig.scan.total(), 2u);
    EXPECT_EQ(rig.scan.completed(), 0u);
}

TEST(Scan, UnansweredRequestsAreRetriedOnceThenTheServerTimesOut) {
    ScanOptions options;
    options.withRules = true;
    options.retryAfterMs = 1000;
    options.timeoutMs = 2500;
    Rig rig(options);
    rig.knowledge.setDialect(Rig::server(1), QueryDialect::Legacy);
    rig.scan.add({Rig::server(0), Rig::server(1)});
    EXPECT_EQ(rig.requestsTo(1), (Texts{"details", "players", "rules"}));
    rig.receive(1, infoReply()); // details only; players and rules are lost
    rig.sender.sent.clear();

    for (int ms = 0; ms < 2490; ms += 10) {
        rig.clock.advance(10);
        rig.scan.tick();
    }
    EXPECT_EQ(rig.requestsTo(0), (Texts{"details", "T", "players", "U", "rules", "V"}));
    EXPECT_EQ(rig.requestsTo(1), (Texts{"players", "rules"}));
    EXPECT_TRUE(rig.results.empty());
    rig.clock.advance(10);
    rig.scan.tick();
    ASSERT_EQ(rig.results.size(), 2u);
    std::map<std::size_t, ScanResult> byIndex;
    for (const auto& r : rig.results)
        byIndex[r.index] = r;
    EXPECT_EQ(byIndex[0].status, ScanResult::Status::Timeout);
    EXPECT_EQ(byIndex[0].pingMs, -1);
    EXPECT_FALSE(byIndex[0].dialect);
    EXPECT_EQ(byIndex[1].status, ScanResult::Status::Up); // answered details: up, partly read
    EXPECT_FALSE(byIndex[1].gotPlayers);
    EXPECT_EQ(byIndex[1].dialect, QueryDialect::Legacy);
    EXPECT_EQ(rig.finished, 1);

    rig.sender.sent.clear();
    rig.receive(0, infoReply()); // too late: nothing changes
    rig.clock.advance(5000);
    rig.scan.tick();
    EXPECT_EQ(rig.results.size(), 2u);
    EXPECT_TRUE(rig.sender.sent.empty());
}

TEST(Scan, CancelStopsEverythingAndBadAddressesCostNoTraffic) {
    Rig rig;
    rig.scan.add({Rig::server(0), ServerAddress{}, ServerAddress{"10.0.0.1", 0}, Rig::server(1)});
    ASSERT_EQ(rig.results.size(), 2u); // the two empty ones, at once
    EXPECT_EQ(rig.results[0].index, 1u);
    EXPECT_EQ(rig.results[0].status, ScanResult::Status::Timeout);
    EXPECT_EQ(rig.takeTargets(), (std::set<int>{27000, 27001}));

    rig.scan.cancel();
    EXPECT_FALSE(rig.scan.running());
    rig.receive(0, infoReply());
    rig.receive(0, playersReply({}));
    rig.clock.advance(10000);
    rig.scan.tick();
    EXPECT_EQ(rig.results.size(), 2u);
    EXPECT_EQ(rig.finished, 0);
    EXPECT_TRUE(rig.sender.sent.empty());
}

TEST(Scan, EachServersPacketBudgetHoldsAcrossScans) {
    ScanOptions options;
    options.timeoutMs = 3000;
    Rig rig(options, 0.2); // 12 packets a minute per server, 11 of them for queries
    for (int round = 0; round < 4; ++round) {
        rig.scan.add({Rig::server(0)});
        while (rig.scan.running()) {
            rig.clock.advance(10);
            rig.scan.tick();
        }
    }
    // Four rounds of four requests and their retries would be 32 packets.
    EXPECT_EQ(rig.sender.sent.size(), rig.budget->queryCapacity());
    EXPECT_EQ(rig.results.size(), 4u);
}
