// The per-server packet budget and the slowdown learnt from servers that limit queries.
#include "../fakes/FakeClock.h"
#include "../fakes/FakeSender.h"

#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/QueryEngine.h"
#include "query/ServerKnowledge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace ondel;
using namespace ondel::test;

namespace {
using Traffic = QueryBudget::Traffic;
const ServerAddress kServer{"10.0.0.1", 27015};

// The most packets inside any window of windowMs over the sorted send times.
std::size_t busiestWindow(const std::vector<std::uint64_t>& times, std::uint64_t windowMs) {
    std::size_t most = 0;
    for (std::size_t i = 0, j = 0; i < times.size(); ++i) {
        while (times[i] - times[j] >= windowMs)
            ++j;
        most = std::max(most, i - j + 1);
    }
    return most;
}
} // namespace

TEST(QueryBudget, NoWindowEverHoldsMoreThanTheCapacityAndRconAlwaysFindsRoom) {
    // Across the tick counter's wrap: queries try every 50 ms, an RCON command every 7 s.
    FakeClock clock(0xFFFFFFFFu - 90000);
    QueryBudget budget(clock);
    ASSERT_EQ(budget.capacity(), 150u);
    ASSERT_LT(budget.queryCapacity(), budget.capacity());
    std::vector<std::uint64_t> sent;
    std::uint64_t t = 0;
    int rconTried = 0;
    int rconSent = 0;
    for (; t < 600000; t += 50, clock.advance(50)) {
        if (t % 7000 == 0) {
            ++rconTried;
            if (budget.spend(kServer, Traffic::Rcon)) {
                ++rconSent;
                sent.push_back(t);
            }
        }
        if (budget.spend(kServer, Traffic::Query))
            sent.push_back(t);
    }
    EXPECT_EQ(rconSent, rconTried);
    EXPECT_LE(busiestWindow(sent, 60000), budget.capacity());
    // Queries alone use what they may: the budget is a limit, not a stop.
    EXPECT_GE(sent.size(), 9 * budget.queryCapacity());
}

TEST(QueryBudget, EachPortIsItsOwnServerAndRconHasTheLastTenth) {
    FakeClock clock;
    QueryBudget budget(clock, 0.5, 30000); // 15 packets per 30 s
    ASSERT_EQ(budget.capacity(), 15u);
    std::size_t queries = 0;
    while (budget.spend(kServer, Traffic::Query))
        ++queries;
    EXPECT_EQ(queries, budget.queryCapacity());
    EXPECT_TRUE(budget.spend({"10.0.0.1", 27016}, Traffic::Query));
    std::size_t rcon = 0;
    while (budget.spend(kServer, Traffic::Rcon))
        ++rcon;
    EXPECT_EQ(queries + rcon, 15u);
    clock.advance(29999);
    EXPECT_FALSE(budget.allows(kServer, Traffic::Rcon));
    clock.advance(1); // the first packets leave the window exactly one window later
    EXPECT_TRUE(budget.allows(kServer, Traffic::Query));
    EXPECT_EQ(budget.used(kServer), 0u);
}

TEST(ServerKnowledge, BlocksHalveTheRateWhichRisesSlowlyOnlyWhileAnswersCome) {
    ServerKnowledge k;
    const std::uint32_t raise = ServerKnowledge::kRaiseAfterMs;
    std::uint32_t t = 1000;
    EXPECT_FALSE(k.limitsQueries(kServer));
    k.noteBlock(kServer, t);
    EXPECT_DOUBLE_EQ(k.slowdown(kServer), 2.0);
    k.noteBlock(kServer, t += 30000);
    k.noteBlock(kServer, t += 30000);
    EXPECT_DOUBLE_EQ(k.slowdown(kServer), 5.0); // capped: details every 5 s at the slowest
    EXPECT_DOUBLE_EQ(k.slowdown({"10.0.0.1", 27016}), 1.0);

    k.noteAnswer(kServer, t + raise - 1);
    EXPECT_DOUBLE_EQ(k.slowdown(kServer), 5.0);
    k.noteAnswer(kServer, t += raise);
    EXPECT_DOUBLE_EQ(k.slowdown(kServer), 5.0); // 4 is too near the 4 that was blocked
    k.noteAnswer(kServer, t += raise);          // a period spent there: the block is forgotten
    EXPECT_DOUBLE_EQ(k.slowdown(kServer), 4.0);
    k.noteBlock(kServer, t += 1000); // blocked again at 4: back to 5, and 4 is out of reach
    k.noteAnswer(kServer, t += raise);
    EXPECT_DOUBLE_EQ(k.slowdown(kServer), 5.0);

    // A limit that passes: the rate comes back to normal in steps.
    for (int i = 0; i < 20; ++i)
        k.noteAnswer(kServer, t += raise);
    EXPECT_DOUBLE_EQ(k.slowdown(kServer), 1.0);
    EXPECT_FALSE(k.limitsQueries(kServer));
}

TEST(ServerKnowledge, ASilenceIsALimitOnlyWhenTheRateOrARepeatExplainsIt) {
    using Silence = ServerKnowledge::Silence;
    constexpr std::uint32_t kStart = 500000;
    struct Case {
        const char* what;
        std::size_t sent;             // packets in the last minute
        std::optional<int> earlierMs; // an earlier silence this long before
        bool knownLimit;              // the server limited us before
        std::uint32_t answeredForMs;
        Silence expected;
        double slowdown;
    } cases[] = {
        {"within the stock limit", 100, std::nullopt, false, 0, Silence::Outage, 1.0},
        {"at the stock limit", 180, std::nullopt, false, 0, Silence::Outage, 1.0},
        {"over the stock limit", 181, std::nullopt, false, 0, Silence::Limit, 2.0},
        {"outage long after an outage", 100, 95000, false, 30000, Silence::Outage, 1.0},
        {"repeat after 60 s", 100, 60000, false, 50000, Silence::Limit, 2.0},
        // Answered 9.4 s of every 30 s: a quarter or so of the rate, with the margin.
        {"repeat after 30 s", 100, 30000, false, 9400, Silence::Limit, 1.25 * 30000 / 9400},
        {"the rate rose again", 100, std::nullopt, true, 0, Silence::Limit, 4.0},
    };
    for (const auto& c : cases) {
        ServerKnowledge k;
        if (c.knownLimit)
            k.noteBlock(kServer, kStart - 200000);
        if (c.earlierMs) {
            EXPECT_EQ(k.noteSilence(kServer, kStart - *c.earlierMs, 100, 0), Silence::Outage);
        }
        EXPECT_EQ(k.noteSilence(kServer, kStart, c.sent, c.answeredForMs), c.expected) << c.what;
        EXPECT_DOUBLE_EQ(k.slowdown(kServer), c.slowdown) << c.what;
    }
}

TEST(QueryBudget, QueriesOfMonitorAndScanNeverHoldTheConsoleBack) {
    // The monitor asks at its pace while a scan keeps asking the same server as fast as the
    // budget lets it; the console's commands (two packets every 10 s) still all go.
    FakeClock clock;
    QueryBudget budget(clock);
    FakeSender sender;
    DatagramRouter router(sender, &budget);
    ServerKnowledge knowledge;
    QueryEngine engine(clock, router, knowledge);
    ServerEntry e;
    e.address = kServer;
    engine.setCurrentServer(e);
    const std::uint8_t request[] = {0xFF, 0xFF, 0xFF, 0xFF, 'T'};
    std::vector<std::uint64_t> times;
    std::size_t seen = 0;
    for (std::uint64_t t = 0; t < 180000; t += 100, clock.advance(100)) {
        if (t % 1000 == 0)
            engine.queryTick();
        router.send(kServer, request, sizeof request, DatagramRouter::Traffic::Query);
        if (t % 10000 == 5000) {
            EXPECT_TRUE(engine.sendOutOfBand("challenge rcon\n")) << t;
            EXPECT_TRUE(engine.sendOutOfBand("rcon 1 \"pw\" status")) << t;
        }
        for (; seen < sender.sent.size(); ++seen)
            times.push_back(t);
    }
    EXPECT_LE(busiestWindow(times, 60000), budget.capacity());
    EXPECT_GE(times.size(), 2 * budget.queryCapacity());
}
