// The history end to end: ondel-cli history over a file the store wrote, and the window
// recording a watched server into history.sqlite beside its lists.
#include "SimProcess.h"

#include "sqlite/SqliteHistoryStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>

using namespace ondel;
using namespace ondel::hlsimtest;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";
// 2026-12-09 01:02:03 UTC.
constexpr std::int64_t kT0 = 1'796'778'123'000;

std::string integrity(const std::string& path) {
    sqlite3* db = nullptr;
    std::string out;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

class HistoryCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SqliteHistoryStore store(path(), {HistoryRetention{}, false});
        HistorySample a;
        a.server = "127.0.0.1:27015";
        a.timeMs = kT0;
        a.up = true;
        a.players = 3;
        a.bots = 0;
        a.maxPlayers = 16;
        a.map = "crossfire";
        a.pingMs = 12;
        HistorySample legacy = a; // no bots count, no ping, a map name that needs quoting
        legacy.timeMs = kT0 + 2000;
        legacy.bots = -1;
        legacy.pingMs = -1;
        legacy.map = "de_\"dust\",2\n";
        HistorySample missed;
        missed.server = a.server;
        missed.timeMs = kT0 + 1000;
        HistorySample other = a;
        other.server = "127.0.0.1:27016";
        store.record({legacy, a, missed, other});
        store.flush();
        ASSERT_EQ(store.lastError(), "");
    }
    std::string path() const { return m_dir.filePath("history.sqlite").toStdString(); }
    std::string dir() const { return m_dir.path().toStdString(); }

    QTemporaryDir m_dir;
};

TEST_F(HistoryCli, JsonIsOneArrayOldestFirstWithNullsForAMiss) {
    // A dotted host with leading zeros is the same server.
    auto run = runProgram(kCli, {"history", "127.0.0.001:27015", "--data-dir", dir(), "--json"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    QJsonParseError error;
    auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    ASSERT_TRUE(doc.isArray());
    QJsonArray rows = doc.array();
    ASSERT_EQ(rows.size(), 3);
    QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first.value("time").toString(), "2026-12-09T01:02:03Z");
    EXPECT_EQ(first.value("up"), QJsonValue(true));
    EXPECT_EQ(first.value("players"), QJsonValue(3));
    EXPECT_EQ(first.value("bots"), QJsonValue(0));
    EXPECT_EQ(first.value("maxPlayers"), QJsonValue(16));
    EXPECT_EQ(first.value("map"), QJsonValue("crossfire"));
    EXPECT_EQ(first.value("pingMs"), QJsonValue(12));
    QJsonObject miss = rows[1].toObject();
    EXPECT_EQ(miss.value("time").toString(), "2026-12-09T01:02:04Z");
    EXPECT_EQ(miss.value("up"), QJsonValue(false));
    for (const char* key : {"players", "bots", "maxPlayers", "map", "pingMs"})
        EXPECT_TRUE(miss.value(key).isNull()) << key;
    QJsonObject legacy = rows[2].toObject();
    EXPECT_TRUE(legacy.value("bots").isNull());
    EXPECT_TRUE(legacy.value("pingMs").isNull());
    EXPECT_EQ(legacy.value("map"), QJsonValue("de_\"dust\",2\n"));
}

TEST_F(HistoryCli, CsvQuotesServerTextAndLeavesUnknownsEmpty) {
    auto run = runProgram(kCli, {"history", "127.0.0.1:27015", "--data-dir", dir(), "--csv"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "time,up,players,bots,maxPlayers,map,pingMs\n"
                       "2026-12-09T01:02:03Z,true,3,0,16,crossfire,12\n"
                       "2026-12-09T01:02:04Z,false,,,,,\n"
                       "2026-12-09T01:02:05Z,true,3,,16,\"de_\"\"dust\"\",2?\",\n");
}

TEST_F(HistoryCli, SinceLeavesOutOlderSamplesAndBadArgumentsFail) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    {
        SqliteHistoryStore store(path(), {HistoryRetention{}, false});
        HistorySample s;
        s.server = "127.0.0.1:27017";
        s.timeMs = now - 3 * 3'600'000;
        HistorySample recent = s;
        recent.timeMs = now - 10 * 60'000;
        store.record({s, recent});
    }
    const struct {
        const char* since;
        std::size_t lines;
    } spans[] = {{"1h", 2}, {"60m", 2}, {"4h", 3}, {"1d", 3}, {"300", 1}};
    for (const auto& c : spans) {
        auto run = runProgram(
            kCli, {"history", "127.0.0.1:27017", "--data-dir", dir(), "--since", c.since, "--csv"});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(static_cast<std::size_t>(std::count(run.out.begin(), run.out.end(), '\n')),
                  c.lines)
            << c.since << "\n"
            << run.out;
    }
    const struct {
        std::vector<std::string> args;
    } bad[] = {{{"history"}},
               {{"history", "nonsense"}},
               {{"history", "127.0.0.1:27015", "--since", "5x"}},
               {{"history", "127.0.0.1:27015", "--json", "--csv"}},
               {{"history", "127.0.0.1:27015", "--data-dir"}}};
    for (const auto& c : bad) {
        auto run = runProgram(kCli, c.args);
        EXPECT_EQ(run.exitStatus, 2) << c.args.back();
        EXPECT_EQ(run.out, "") << c.args.back();
    }
    auto missing = runProgram(kCli, {"history", "127.0.0.1:27015", "--data-dir", dir() + "/no"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.err.find("no history"), std::string::npos);
}

TEST(HistoryWindow, WatchingAServerLeavesSamplesThatTheCommandShows) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--players", "5", "--map", "bounce"})) << sim.error();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string server = "127.0.0.1:" + std::to_string(sim.port());

    QProcess ondel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path()); // the settings of the run stay in the test's folder
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    ondel.setProcessEnvironment(env);
    ondel.start(QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel"),
                {QStringLiteral("--data-dir"), dir.path(), QString::fromStdString(server)});
    ASSERT_TRUE(ondel.waitForStarted(10000));
    QThread::msleep(15000);
    ASSERT_EQ(ondel.state(), QProcess::Running) << ondel.readAllStandardError().toStdString();
    ondel.kill(); // as kill -9: what was committed must be there, and the file whole
    ondel.waitForFinished(10000);

    const std::string file = dir.filePath("history.sqlite").toStdString();
    EXPECT_EQ(integrity(file), "ok");
    auto run =
        runProgram(kCli, {"history", server, "--data-dir", dir.path().toStdString(), "--json"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    EXPECT_GE(rows.size(), 5) << run.out;
    for (const auto& row : rows) {
        QJsonObject o = row.toObject();
        EXPECT_EQ(o.value("up"), QJsonValue(true)) << run.out;
        EXPECT_EQ(o.value("players"), QJsonValue(5)) << run.out;
        EXPECT_EQ(o.value("map"), QJsonValue("bounce")) << run.out;
        EXPECT_GE(o.value("pingMs").toInt(-1), 0) << run.out;
    }
}

} // namespace
