#include "serverlist/ServerListOrder.h"

#include "common/Text.h"

#include "../fakes/FakeSettingsStore.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <random>

using namespace ondel;

namespace {

struct Row {
    const char* host;
    int port;
    const char* name;
    const char* game;
    std::int64_t lastConnected;
};

ServerList makeList(std::initializer_list<Row> rows) {
    ServerList list;
    for (const auto& r : rows) {
        ServerEntry e;
        e.address = {r.host, r.port};
        e.hostName = r.name;
        e.gameDir = r.game;
        e.lastConnected = r.lastConnected;
        list.entries().push_back(e);
    }
    return list;
}

std::vector<std::size_t> mainSection(const SelectorOrder& o) {
    return {o.items.begin() + (o.recentEnd + 1), o.items.end()};
}

using Idx = std::vector<std::size_t>;

} // namespace

TEST(ServerListOrder, EmptyAndSingleLists) {
    ServerList empty;
    SelectorOrder o = selectorOrder(empty, 1);
    EXPECT_TRUE(o.items.empty());
    EXPECT_EQ(o.recentEnd, -1);

    ServerList one = makeList({{"1.1.1.1", 1, "x", "", 0}});
    o = selectorOrder(one, 3);
    EXPECT_EQ(o.items, Idx{0});
    EXPECT_EQ(o.recentEnd, -1);
}

TEST(ServerListOrder, RecentSectionHoldsTheFiveNewestNewestFirst) {
    ServerList list = makeList({
        {"1.0.0.0", 1, "a", "", 30},
        {"2.0.0.0", 1, "b", "", 0},  // never connected
        {"3.0.0.0", 1, "c", "", 10}, // the oldest of six: main section only
        {"4.0.0.0", 1, "d", "", 60},
        {"5.0.0.0", 1, "e", "", 20},
        {"6.0.0.0", 1, "f", "", 50},
        {"7.0.0.0", 1, "g", "", 40},
    });
    SelectorOrder o = selectorOrder(list, 0);
    EXPECT_EQ(o.recentEnd, 4);
    ASSERT_EQ(o.items.size(), 5u + 7u);
    EXPECT_EQ(Idx(o.items.begin(), o.items.begin() + 5), (Idx{3, 5, 6, 0, 4}));
    EXPECT_EQ(mainSection(o), (Idx{0, 1, 2, 3, 4, 5, 6}));
}

TEST(ServerListOrder, EqualConnectionTimesKeepStoredOrder) {
    ServerList list = makeList({
        {"1.0.0.0", 1, "", "", 5},
        {"2.0.0.0", 1, "", "", 9},
        {"3.0.0.0", 1, "", "", 5},
        {"4.0.0.0", 1, "", "", 9},
        {"5.0.0.0", 1, "", "", 5},
        {"6.0.0.0", 1, "", "", 5}, // a sixth with an equal time falls out, not an earlier one
    });
    SelectorOrder o = selectorOrder(list, 0);
    EXPECT_EQ(Idx(o.items.begin(), o.items.begin() + 5), (Idx{1, 3, 0, 2, 4}));
    EXPECT_EQ(o.recentEnd, 4);
}

TEST(ServerListOrder, SortTypesOrderTheMainSection) {
    ServerList list = makeList({
        {"9.0.0.1", 27015, "bravo", "valve", 0},    // 0
        {"10.0.0.1", 27015, "Alpha", "cstrike", 0}, // 1
        {"1.2.3.4", 2715, "alpha", "", 0},          // 2
        {"1.2.3.4", 27015, "charlie", "", 0},       // 3
        {"Ab.cd.ef", 1, "", "CSTRIKE", 0},          // 4
        {"ab.cd.ef", 1, "Delta", "cstrike", 0},     // 5
    });
    struct Case {
        std::int32_t type;
        Idx order;
    } cases[] = {
        {0, {0, 1, 2, 3, 4, 5}},
        // Empty names first; Alpha/alpha differ in case only and keep stored order.
        {1, {4, 1, 2, 0, 3, 5}},
        // Address text compared as text: "1.2.3.4:27015" < "1.2.3.4:2715" < "10..." < "9..."
        // < letters; Ab.cd.ef and ab.cd.ef fold equal and keep stored order.
        {2, {3, 2, 1, 0, 4, 5}},
        // Empty game first (by name among themselves), then cstrike in either case by name.
        {3, {2, 3, 4, 1, 5, 0}},
        {4, {3, 2, 1, 4, 5, 0}},
        {7, {0, 1, 2, 3, 4, 5}},
        {-1, {0, 1, 2, 3, 4, 5}},
    };
    for (const auto& c : cases) {
        SelectorOrder o = selectorOrder(list, c.type);
        EXPECT_EQ(o.recentEnd, -1);
        EXPECT_EQ(o.items, c.order) << "sort type " << c.type;
    }
}

TEST(ServerListOrder, MatchesTheExchangeSortOnManyEqualKeys) {
    // The selector was first defined by an exchange sort that swaps only strictly greater
    // neighbours; any other sort must give exactly its order.
    std::mt19937 rng(7);
    const char* names[] = {"", "a", "A", "ab", "Ab", "b", "B ", "b"};
    const char* games[] = {"", "cstrike", "CStrike", "valve"};
    const char* hosts[] = {"1.1.1.1", "1.1.1.10", "1.1.1.2", "A.b.c", "a.B.c"};
    ServerList list;
    for (int i = 0; i < 200; ++i) {
        ServerEntry e;
        e.hostName = names[rng() % 8];
        e.gameDir = games[rng() % 4];
        e.address = {hosts[rng() % 5], static_cast<int>(rng() % 3) * 10};
        list.entries().push_back(e);
    }
    for (std::int32_t type = 1; type <= 4; ++type) {
        auto key = [&](std::size_t i, int part) {
            const ServerEntry& e = list.entries()[i];
            if (part == 0)
                return (type >= 3) ? e.gameDir : std::string();
            return (type == 2 || type == 4) ? addressText(e.address) : e.hostName;
        };
        auto greater = [&](std::size_t a, std::size_t b) {
            int c = text::foldCompare(key(a, 0), key(b, 0));
            if (c == 0)
                c = text::foldCompare(key(a, 1), key(b, 1));
            return c > 0;
        };
        Idx expected(list.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            expected[i] = i;
        std::size_t p = 0;
        while (p + 1 < expected.size()) {
            if (greater(expected[p], expected[p + 1])) {
                std::swap(expected[p], expected[p + 1]);
                if (p > 0)
                    --p;
            } else {
                ++p;
            }
        }
        EXPECT_EQ(selectorOrder(list, type).items, expected) << "sort type " << type;
    }
}

TEST(ServerListOrder, SortTypeComesFromTheSettings) {
    ServerList list = makeList({{"1.0.0.0", 1, "b", "", 0}, {"2.0.0.0", 1, "a", "", 0}});
    test::FakeSettingsStore store;
    EXPECT_EQ(selectorOrder(list, store).items, (Idx{0, 1})); // missing: stored order
    settings::write(store, settings::kServerListSortType, sortTypeForCommand(40009));
    EXPECT_EQ(selectorOrder(list, store).items, (Idx{1, 0}));
    store.writeString("Settings", "ServerListSortType", "1"); // not an integer: default
    EXPECT_EQ(selectorOrder(list, store).items, (Idx{0, 1}));
}

TEST(ServerListOrder, ItemTextsAndSortCommands) {
    ServerEntry e;
    e.address = {"10.0.0.5", 27015};
    EXPECT_EQ(selectorItemText(e), "10.0.0.5:27015 ");
    e.hostName = "My Server";
    EXPECT_EQ(selectorItemText(e), "10.0.0.5:27015 My Server");
    EXPECT_EQ(sortTypeForCommand(40008), 0);
    EXPECT_EQ(sortTypeForCommand(40012), 4);
    EXPECT_EQ(sortTypeForCommand(40007), -1);
    EXPECT_EQ(sortTypeForCommand(40013), -1);
}
