#include "watch/Shard.h"

#include <gtest/gtest.h>

#include <set>

using namespace ondel;

TEST(Shard, ParsesOnlyKOfN) {
    struct Case {
        const char* text;
        int index; // 0: refused
        int count;
    } cases[] = {
        {"1/1", 1, 1}, {"2/3", 2, 3}, {"10/10", 10, 10}, {"0/2", 0, 0},  {"3/2", 0, 0},
        {"1/0", 0, 0}, {"1/", 0, 0},  {"/2", 0, 0},      {"1/2x", 0, 0}, {"-1/2", 0, 0},
        {"12", 0, 0},  {"", 0, 0},    {"1/10001", 0, 0},
    };
    for (const auto& c : cases) {
        auto shard = parseShard(c.text);
        EXPECT_EQ(shard.has_value(), c.index != 0) << c.text;
        if (shard && c.index) {
            EXPECT_EQ(shard->index, c.index) << c.text;
            EXPECT_EQ(shard->count, c.count) << c.text;
        }
    }
}

TEST(Shard, SplitsAnyListIntoDisjointCompleteAndStableParts) {
    std::vector<ServerAddress> servers;
    for (int i = 0; i < 1000; ++i)
        servers.push_back(
            {"10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250), 27015 + i % 7});
    for (int n : {1, 2, 3, 7}) {
        std::vector<int> sizes(n + 1, 0);
        for (const auto& s : servers) {
            int k = shardOf(s, n);
            ASSERT_GE(k, 1);
            ASSERT_LE(k, n);
            int holders = 0;
            for (int j = 1; j <= n; ++j)
                holders += inShard(s, Shard{j, n});
            EXPECT_EQ(holders, 1); // in exactly one shard
            ++sizes[k];
        }
        for (int k = 1; k <= n; ++k)
            EXPECT_GT(sizes[k], 1000 / n / 2) << k << " of " << n; // roughly even
    }
    // The host's case does not move a server; the port does.
    EXPECT_EQ(shardOf({"Game.Example.Org", 27015}, 1000),
              shardOf({"game.example.org", 27015}, 1000));
    // Fixed values: a change of the hash would split running fleets differently.
    // (FNV-1a of "127.0.0.1:27015" is 2656703755, of "game.example.org:27016" 3255854003.)
    EXPECT_EQ(shardOf({"127.0.0.1", 27015}, 1000), 756);
    EXPECT_EQ(shardOf({"GAME.example.org", 27016}, 1000), 4);
}
