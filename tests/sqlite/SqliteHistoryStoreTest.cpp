#include "sqlite/SqliteHistoryStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace ondel {
namespace {

constexpr std::int64_t kMinute = 60'000;
constexpr std::int64_t kHour = 60 * kMinute;
constexpr std::int64_t kDay = 24 * kHour;
// A five-minute boundary well after 1970: 2026-12-09 00:00 UTC.
constexpr std::int64_t kT0 = 1'796'774'400'000;
const std::string kServer = "127.0.0.1:27015";

HistorySample answer(std::int64_t t, int players, const std::string& map, int ping = 20,
                     const std::string& server = kServer) {
    HistorySample s;
    s.server = server;
    s.timeMs = t;
    s.up = true;
    s.players = players;
    s.bots = 1;
    s.maxPlayers = 16;
    s.map = map;
    s.pingMs = ping;
    return s;
}

HistorySample miss(std::int64_t t, const std::string& server = kServer) {
    HistorySample s;
    s.server = server;
    s.timeMs = t;
    return s;
}

std::string sqlText(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

class SqliteHistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "ondel-history-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_path = m_dir + "/history.sqlite";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::unique_ptr<SqliteHistoryStore> open() {
        return std::make_unique<SqliteHistoryStore>(
            m_path, SqliteHistoryStore::Options{HistoryRetention{}, false});
    }

    std::string m_dir;
    std::string m_path;
};

TEST_F(SqliteHistoryStoreTest, AnswersAndMissesReadBackOldestFirstAfterReopen) {
    {
        auto store = open();
        HistorySample legacy = answer(kT0 + 2000, 5, "crossfire", -1);
        legacy.bots = -1;
        store->record({answer(kT0 + 1000, 3, "crossfire"), miss(kT0 + 3000)});
        store->record({legacy, answer(kT0, 1, "crossfire", 30, "127.0.0.2:27015")});
        store->flush();
        EXPECT_EQ(store->lastError(), "");
    }
    auto store = open();
    auto got = store->samples(kServer, kT0, kT0 + kHour);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].timeMs, kT0 + 1000);
    EXPECT_TRUE(got[0].up);
    EXPECT_EQ(got[0].players, 3);
    EXPECT_EQ(got[0].bots, 1);
    EXPECT_EQ(got[0].maxPlayers, 16);
    EXPECT_EQ(got[0].map, "crossfire");
    EXPECT_EQ(got[0].pingMs, 20);
    EXPECT_EQ(got[1].timeMs, kT0 + 2000);
    EXPECT_EQ(got[1].bots, -1);
    EXPECT_EQ(got[1].pingMs, -1);
    EXPECT_FALSE(got[2].up);
    EXPECT_EQ(got[2].map, "");
    // The range is half-open and per server.
    EXPECT_EQ(store->samples(kServer, kT0 + 1001, kT0 + 3000).size(), 1u);
    EXPECT_EQ(store->samples("127.0.0.2:27015", 0, kT0 + kHour).size(), 1u);
    EXPECT_TRUE(store->samples("127.0.0.3:27015", 0, kT0 + kHour).empty());
    EXPECT_EQ(sqlText(m_path, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(sqlText(m_path, "PRAGMA integrity_check"), "ok");
}

TEST_F(SqliteHistoryStoreTest, ReadingAMissingFileNeitherCreatesItNorFails) {
    auto store = open();
    EXPECT_TRUE(store->samples(kServer, 0, kT0).empty());
    EXPECT_TRUE(store->buckets(kServer, 0, kT0).empty());
    store->flush();
    EXPECT_FALSE(std::filesystem::exists(m_path));
    EXPECT_EQ(store->lastError(), "");
}

TEST_F(SqliteHistoryStoreTest, MapChangesAreEventsAcrossMissesAndReopening) {
    {
        auto store = open();
        store->record({answer(kT0, 1, "crossfire"), answer(kT0 + 1000, 1, "crossfire"),
                       miss(kT0 + 2000), answer(kT0 + 3000, 1, "bounce")});
        store->flush();
    }
    auto store = open();
    // The same map after reopening is no change; a miss between two maps is not one either.
    store->record(
        {answer(kT0 + 4000, 2, "bounce"), miss(kT0 + 5000), answer(kT0 + 6000, 2, "datacore")});
    store->flush();
    auto events = store->mapEvents(kServer, 0, kT0 + kHour);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].timeMs, kT0);
    EXPECT_EQ(events[0].fromMap, "");
    EXPECT_EQ(events[0].toMap, "crossfire");
    EXPECT_EQ(events[1].timeMs, kT0 + 3000);
    EXPECT_EQ(events[1].fromMap, "crossfire");
    EXPECT_EQ(events[1].toMap, "bounce");
    EXPECT_EQ(events[2].timeMs, kT0 + 6000);
    EXPECT_EQ(events[2].fromMap, "bounce");
    EXPECT_EQ(events[2].toMap, "datacore");
}

TEST_F(SqliteHistoryStoreTest, FoldingKeepsTheFiveMinuteRowsAndDropsTheRawSamples) {
    auto store = open();
    // First five minutes: 2, 4 and 9 players, one miss, pings 10/20/60; second: one miss only.
    store->record({answer(kT0, 2, "crossfire", 10), answer(kT0 + kMinute, 4, "crossfire", 20),
                   miss(kT0 + 2 * kMinute), answer(kT0 + 4 * kMinute, 9, "bounce", 60),
                   miss(kT0 + 5 * kMinute), answer(kT0 + 10 * kMinute, 7, "bounce", -1)});
    store->flush();
    const auto before = store->buckets(kServer, kT0, kT0 + kHour);
    ASSERT_EQ(before.size(), 3u);
    EXPECT_EQ(before[0].startMs, kT0);
    EXPECT_EQ(before[0].samples, 4);
    EXPECT_DOUBLE_EQ(before[0].upShare, 0.75);
    EXPECT_EQ(before[0].minPlayers, 2);
    EXPECT_DOUBLE_EQ(before[0].meanPlayers, 5.0);
    EXPECT_EQ(before[0].maxPlayers, 9);
    EXPECT_EQ(before[0].maxSlots, 16);
    EXPECT_DOUBLE_EQ(before[0].meanPingMs, 30.0);
    EXPECT_EQ(before[0].lastMap, "bounce");
    EXPECT_EQ(before[1].startMs, kT0 + 5 * kMinute);
    EXPECT_EQ(before[1].upShare, 0.0);
    EXPECT_EQ(before[1].meanPingMs, -1);
    EXPECT_EQ(before[2].meanPingMs, -1); // an answer without a ping

    // 48 hours and ten minutes later the first two rows are past the raw limit, the third not.
    store->applyRetention(kT0 + 48 * kHour + 10 * kMinute + 1, HistoryRetention{48, 90});
    EXPECT_EQ(store->lastError(), "");
    auto raw = store->samples(kServer, 0, kT0 + kHour);
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw[0].timeMs, kT0 + 10 * kMinute);
    const auto after = store->buckets(kServer, kT0, kT0 + kHour);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(after[i].startMs, before[i].startMs);
        EXPECT_EQ(after[i].samples, before[i].samples);
        EXPECT_DOUBLE_EQ(after[i].upShare, before[i].upShare);
        EXPECT_EQ(after[i].minPlayers, before[i].minPlayers);
        EXPECT_DOUBLE_EQ(after[i].meanPlayers, before[i].meanPlayers);
        EXPECT_EQ(after[i].maxPlayers, before[i].maxPlayers);
        EXPECT_EQ(after[i].maxSlots, before[i].maxSlots);
        EXPECT_DOUBLE_EQ(after[i].meanPingMs, before[i].meanPingMs);
        EXPECT_EQ(after[i].lastMap, before[i].lastMap);
    }
    // The range of rows is by their start.
    EXPECT_EQ(store->buckets(kServer, kT0 + 1, kT0 + 5 * kMinute + 1).size(), 1u);

    // A sample that arrives late for a folded five minutes joins its row.
    store->record({answer(kT0 + 3 * kMinute, 1, "crossfire", 10)});
    store->applyRetention(kT0 + 49 * kHour, HistoryRetention{48, 90});
    auto merged = store->buckets(kServer, kT0, kT0 + 5 * kMinute);
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].samples, 5);
    EXPECT_EQ(merged[0].minPlayers, 1);
    EXPECT_DOUBLE_EQ(merged[0].meanPlayers, 4.0);
    EXPECT_EQ(merged[0].lastMap, "crossfire");
    EXPECT_EQ(sqlText(m_path, "PRAGMA integrity_check"), "ok");
}

TEST_F(SqliteHistoryStoreTest, RowsAndEventsPastTheDaysAreDropped) {
    auto store = open();
    store->record({answer(kT0, 2, "crossfire"), answer(kT0 + 3 * kDay, 2, "bounce")});
    store->applyRetention(kT0 + 5 * kDay, HistoryRetention{24, 4});
    EXPECT_TRUE(store->buckets(kServer, 0, kT0 + kDay).empty());
    EXPECT_EQ(store->buckets(kServer, 0, kT0 + 10 * kDay).size(), 1u);
    auto events = store->mapEvents(kServer, 0, kT0 + 10 * kDay);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].toMap, "bounce");
}

TEST_F(SqliteHistoryStoreTest, HostileMapNamesAreKeptAsBoundedBytes) {
    const std::string quote = "'; DROP TABLE samples; --";
    const std::string binary("de\0st\xff\x01", 7);
    const std::string longName(1000, 'x');
    auto store = open();
    store->record(
        {answer(kT0, 1, quote), answer(kT0 + 1000, 1, binary), answer(kT0 + 2000, 1, longName)});
    store->flush();
    auto got = store->samples(kServer, 0, kT0 + kHour);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].map, quote);
    EXPECT_EQ(got[1].map, binary);
    EXPECT_EQ(got[2].map, std::string(SqliteHistoryStore::kMaxMapBytes, 'x'));
    EXPECT_EQ(store->mapEvents(kServer, 0, kT0 + kHour).back().toMap, got[2].map);
}

TEST_F(SqliteHistoryStoreTest, AFileOfANewerVersionIsLeftAlone) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    auto store = open();
    store->record({answer(kT0, 1, "crossfire")});
    store->flush();
    EXPECT_NE(store->lastError().find("newer version"), std::string::npos);
    EXPECT_TRUE(store->samples(kServer, 0, kT0 + kHour).empty());
    EXPECT_EQ(sqlText(m_path, "PRAGMA user_version"), "99");
    EXPECT_EQ(sqlText(m_path, "SELECT count(*) FROM sqlite_master"), "0");
}

} // namespace
} // namespace ondel
