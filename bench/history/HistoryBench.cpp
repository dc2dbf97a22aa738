// Timed tool for the history store (run by hand):
//   HistoryBench [--servers N] [--days D] [--dir DIR] [--read-only]
// (--read-only: only step 3, over the database a former run left in DIR.)
// 1. Recording one scan: N samples handed to record(); the caller's time and the writer's
//    (record to flush) per scan, median of 50 scans.
// 2. D days of N servers sampled every minute, recorded a minute at a time and folded every hour
//    as the writer does; the database's size after folding (raw samples of the last 48 hours,
//    five-minute rows before).
// 3. The month graph of one server: buckets() over the last 30 days, median of 20 reads, each
//    on its own connection.
#include "history/HistoryFold.h"
#include "sqlite/SqliteHistoryStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace ondel;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string serverName(int i) {
    return "127." + std::to_string(i / 65536 % 256) + '.' + std::to_string(i / 256 % 256) + '.' +
           std::to_string(i % 256) + ":27015";
}

// One minute of the fleet: players wander, maps change about every 30 minutes, 3% misses.
struct Fleet {
    explicit Fleet(int n)
        : players(static_cast<std::size_t>(n), 8), maps(static_cast<std::size_t>(n), 0) {}
    std::vector<HistorySample> minute(std::int64_t t) {
        static const char* const kMaps[] = {"crossfire", "bounce",    "datacore",   "stalkyard",
                                            "de_dust2",  "cs_office", "de_inferno", "snark_pit"};
        std::vector<HistorySample> out(players.size());
        for (std::size_t i = 0; i < players.size(); ++i) {
            HistorySample& s = out[i];
            s.server = serverName(static_cast<int>(i));
            s.timeMs = t + static_cast<std::int64_t>(i);
            if (rng() % 100 < 3)
                continue;
            players[i] = std::clamp(players[i] + static_cast<int>(rng() % 3) - 1, 0, 32);
            if (rng() % 30 == 0)
                maps[i] = (maps[i] + 1) % 8;
            s.up = true;
            s.players = players[i];
            s.bots = static_cast<int>(rng() % 3);
            s.maxPlayers = 32;
            s.map = kMaps[maps[i]];
            s.pingMs = 20 + static_cast<int>(rng() % 80);
        }
        return out;
    }
    std::vector<int> players;
    std::vector<int> maps;
    std::mt19937 rng{42};
};

std::uintmax_t databaseBytes(const std::string& path) {
    std::uintmax_t total = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code ec;
        auto n = std::filesystem::file_size(path + suffix, ec);
        if (!ec)
            total += n;
    }
    return total;
}

} // namespace

int main(int argc, char** argv) {
    int servers = 1000;
    int days = 30;
    std::string dir;
    bool readOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--read-only") {
            readOnly = true;
            continue;
        }
        if (i + 1 == argc)
            break;
        ++i;
        if (a == "--servers")
            servers = std::max(1, std::atoi(argv[i]));
        else if (a == "--days")
            days = std::max(1, std::atoi(argv[i]));
        else if (a == "--dir")
            dir = argv[i];
    }
    if (dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "ondel-bench-XXXXXX");
        if (!mkdtemp(pattern.data()))
            return 1;
        dir = pattern;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string path = dir + "/history.sqlite";
    if (readOnly && !std::filesystem::exists(path)) {
        std::printf("--read-only: no %s\n", path.c_str());
        return 1;
    }
    if (!readOnly)
        std::filesystem::remove(path);
    const HistoryRetention retention{48, 90};
    constexpr std::int64_t kMinute = 60'000;
    const std::int64_t start = 1'796'774'400'000 - static_cast<std::int64_t>(days) * 86'400'000;

    if (!readOnly) {
        SqliteHistoryStore store(path, {retention, false});
        Fleet fleet(servers);
        // 1. One scan at a time.
        std::vector<double> callMs, writerMs;
        std::int64_t t = start;
        for (int round = 0; round < 51; ++round, t += kMinute) {
            auto scan = fleet.minute(t);
            auto begin = Clock::now();
            store.record(std::move(scan));
            double call = msSince(begin);
            store.flush();
            double written = msSince(begin);
            if (round > 0) { // the first one creates the file
                callMs.push_back(call);
                writerMs.push_back(written);
            }
        }
        std::printf("record one scan of %d servers: caller %.3f ms, writer %.2f ms (median of "
                    "%zu)\n",
                    servers, median(callMs), median(writerMs), writerMs.size());

        // 2. The rest of the days, an hour at a time (one transaction each), then folded.
        auto begin = Clock::now();
        const std::int64_t end = start + static_cast<std::int64_t>(days) * 86'400'000;
        while (t < end) {
            std::vector<HistorySample> hour;
            for (int m = 0; m < 60 && t < end; ++m, t += kMinute) {
                auto minute = fleet.minute(t);
                hour.insert(hour.end(), minute.begin(), minute.end());
            }
            store.record(std::move(hour));
            store.applyRetention(t, retention);
        }
        store.applyRetention(end, retention);
        store.flush();
        if (!store.lastError().empty())
            std::printf("error: %s\n", store.lastError().c_str());
        std::printf("filled %d days in %.1f s\n", days, msSince(begin) / 1000.0);
    }
    std::printf("database after folding: %.1f MB (%s)\n",
                static_cast<double>(databaseBytes(path)) / 1e6, path.c_str());

    // 3. The month graph of one server.
    SqliteHistoryStore reader(path);
    const std::int64_t now = start + static_cast<std::int64_t>(days) * 86'400'000;
    std::vector<double> readMs;
    std::size_t rows = 0;
    for (int i = 0; i < 20; ++i) {
        auto begin = Clock::now();
        rows = reader.buckets(serverName(i * 37 % servers), now - 30LL * 86'400'000, now).size();
        reader.mapEvents(serverName(i * 37 % servers), now - 30LL * 86'400'000, now);
        readMs.push_back(msSince(begin));
    }
    std::printf("month graph of one server: %zu rows in %.1f ms (median of 20)\n", rows,
                median(readMs));
    return 0;
}
