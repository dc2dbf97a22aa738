// The monitor (ondel offscreen) against servers that limit the queries they answer per client
// address, measured from hlsim's own record of the requests it received. Long runs: the limits
// work over windows of 30 and 60 seconds.
#include "../hlsim/SimProcess.h"
#include "../hlsim/UdpProbe.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

using namespace ondel::hlsimtest;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";
// Timer ticks on a loaded machine come late now and then; an interval may exceed its due time
// by this much and still count as kept.
constexpr double kJitterSeconds = 0.4;

struct Request {
    double time = 0.0;
    std::string client; // "IP:PORT"
    std::string kind;
    bool dropped = false;
};

std::vector<Request> readRequestLog(const std::string& path) {
    std::vector<Request> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Request r;
        std::string verdict;
        if (fields >> r.time >> r.client >> r.kind >> verdict) {
            r.dropped = verdict == "dropped";
            out.push_back(r);
        }
    }
    return out;
}

// The longest gap between two requests of a kind from a client within [from, to], counting the
// stretches from `from` to the first and from the last to `to`.
double longestGap(const std::vector<Request>& log, const std::string& client,
                  const std::string& kind, double from, double to) {
    double last = from;
    double longest = 0.0;
    for (const auto& r : log) {
        if (r.client != client || r.kind != kind || r.time < from || r.time > to)
            continue;
        longest = std::max(longest, r.time - last);
        last = r.time;
    }
    return std::max(longest, to - last);
}

class Monitor {
public:
    bool start(int serverPort) {
        if (!m_dir.isValid())
            return false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("ONDEL_SETTINGS", m_dir.path() + "/Ondel.conf");
        env.insert("ONDEL_MASTER_HOST", ""); // no master session
        m_process.setProcessEnvironment(env);
        // Into files: a full pipe nobody reads would stop the program.
        m_process.setStandardOutputFile(m_dir.path() + "/out.txt");
        m_process.setStandardErrorFile(m_dir.path() + "/err.txt");
        m_process.start(ONDEL_BIN_DIR "/src/app/ondel",
                        {"--data-dir", m_dir.path(), QString("127.0.0.1:%1").arg(serverPort)});
        return m_process.waitForStarted(10000);
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    ~Monitor() {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

// The client that asked for details: the monitor (ondel-cli rcon never asks for details).
std::string monitorClient(const std::vector<Request>& log) {
    for (const auto& r : log)
        if (r.kind == "details")
            return r.client;
    return {};
}

void report(const char* what, const std::vector<Request>& log, const std::string& client,
            double from, double to) {
    std::map<std::string, int> counts;
    int total = 0;
    for (const auto& r : log) {
        if (r.client == client && r.time >= from && r.time <= to) {
            ++counts[r.kind];
            ++total;
        }
    }
    std::printf("%s: %d packets from the monitor in %.0f s (%.2f a second):", what, total,
                to - from, total / (to - from));
    for (const auto& [kind, n] : counts)
        std::printf(" %s %d", kind.c_str(), n);
    std::printf("; longest gaps: details %.2f s, players %.2f s, rules %.2f s\n",
                longestGap(log, client, "details", from, to),
                longestGap(log, client, "players", from, to),
                longestGap(log, client, "rules", from, to));
}

using Clock = std::chrono::steady_clock;

} // namespace

TEST(QueryLimit, HlsimDropsWhatTheStockRuleDropsAndCountsIt) {
    const std::string log = "/tmp/hlsim-requests-" + std::to_string(::getpid()) + "-rule.txt";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--query-limit", "3/60", "--request-log", log})) << sim.error();
    UdpProbe probe;
    for (int i = 0; i < 200; ++i)
        probe.send(sim.port(), oob("ping"));
    // 180 packets fill the window (180 / 60 is not above 3); the rest are dropped.
    EXPECT_EQ(probe.drain(1000).size(), 180u);
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    auto requests = readRequestLog(log);
    ::unlink(log.c_str());
    ASSERT_EQ(requests.size(), 200u);
    EXPECT_EQ(
        std::count_if(requests.begin(), requests.end(), [](const Request& r) { return r.dropped; }),
        20);
    EXPECT_FALSE(requests[179].dropped);
    EXPECT_TRUE(requests[180].dropped);
}

TEST(QueryLimit, StockLimitThreeMinutesWithTheConsoleNothingDroppedAndEveryEchoBack) {
    const std::string log = "/tmp/hlsim-requests-" + std::to_string(::getpid()) + "-stock.txt";
    SimProcess sim;
    ASSERT_TRUE(sim.start(
        {"--query-limit", "3/60", "--request-log", log, "--rcon-password", "pw", "--players", "6"}))
        << sim.error();
    Monitor monitor;
    ASSERT_TRUE(monitor.start(sim.port()));
    const std::string target = "127.0.0.1:" + std::to_string(sim.port());
    const auto start = Clock::now();
    int echoes = 0;
    for (int i = 0; i < 18; ++i) {
        std::this_thread::sleep_until(start + std::chrono::seconds(5 + 10 * i));
        const std::string word = "tick" + std::to_string(i);
        ProgramResult r = runProgram(
            kCli, {"rcon", target, "--password", "pw", "--wait", "1000", "echo", word}, 15000);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        if (r.out == word + "\n")
            ++echoes;
    }
    std::this_thread::sleep_until(start + std::chrono::seconds(180));
    EXPECT_TRUE(monitor.running());
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    auto requests = readRequestLog(log);
    ::unlink(log.c_str());

    EXPECT_EQ(echoes, 18);
    for (const auto& r : requests)
        EXPECT_FALSE(r.dropped) << r.time << " " << r.client << " " << r.kind;
    const std::string client = monitorClient(requests);
    ASSERT_FALSE(client.empty());
    double first = requests.front().time;
    double last = first;
    for (const auto& r : requests)
        if (r.client == client)
            last = r.time;
    ASSERT_GT(last - first, 170.0);
    report("stock limit 3/60", requests, client, first, last);
    EXPECT_LE(longestGap(requests, client, "details", first, last), 2.0 + kJitterSeconds);
    EXPECT_LE(longestGap(requests, client, "players", first, last), 2.0 + kJitterSeconds);
    EXPECT_LE(longestGap(requests, client, "rules", first, last), 15.0);
}

TEST(QueryLimit, StricterLimitIsLearntAndKeptAfterNinetySeconds) {
    const std::string log = "/tmp/hlsim-requests-" + std::to_string(::getpid()) + "-strict.txt";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--query-limit", "0.5/30", "--request-log", log})) << sim.error();
    Monitor monitor;
    ASSERT_TRUE(monitor.start(sim.port()));
    std::this_thread::sleep_for(std::chrono::seconds(156));
    EXPECT_TRUE(monitor.running());
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    auto requests = readRequestLog(log);
    ::unlink(log.c_str());

    const std::string client = monitorClient(requests);
    ASSERT_FALSE(client.empty());
    const double first = requests.front().time;
    // Details come every 5 s at the slowest: the run covers the minute after the first 90 s.
    ASSERT_GT(requests.back().time - first, 150.0 - 5.0 - kJitterSeconds);
    std::size_t droppedEarly = 0;
    for (const auto& r : requests) {
        if (r.time >= first + 90.0)
            EXPECT_FALSE(r.dropped) << r.time - first << " " << r.kind;
        else
            droppedEarly += r.dropped ? 1 : 0;
    }
    EXPECT_GT(droppedEarly, 0u); // the limit was met and learnt, not avoided by chance
    report("strict limit 0.5/30, first 90 s", requests, client, first, first + 90.0);
    report("strict limit 0.5/30, after 90 s", requests, client, first + 90.0, first + 150.0);
    EXPECT_LE(longestGap(requests, client, "details", first + 90.0, first + 150.0),
              5.0 + kJitterSeconds);
}

TEST(QueryLimit, OutageOfEightSecondsIsNoLimitAndTheRateIsFullThirtySecondsAfter) {
    const std::string pid = std::to_string(::getpid());
    const std::string before = "/tmp/hlsim-requests-" + pid + "-before.txt";
    const std::string after = "/tmp/hlsim-requests-" + pid + "-after.txt";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--query-limit", "3/60", "--request-log", before})) << sim.error();
    const int port = sim.port();
    Monitor monitor;
    ASSERT_TRUE(monitor.start(port));
    std::this_thread::sleep_for(std::chrono::seconds(10));
    EXPECT_EQ(sim.stop(SIGTERM), 0); // the server is gone for 8 s
    std::this_thread::sleep_for(std::chrono::seconds(8));
    SimProcess again;
    ASSERT_TRUE(again.start(
        {"--port", std::to_string(port), "--query-limit", "3/60", "--request-log", after}))
        << again.error();
    std::this_thread::sleep_for(std::chrono::seconds(41));
    EXPECT_TRUE(monitor.running());
    EXPECT_EQ(again.stop(SIGTERM), 0);
    auto requests = readRequestLog(after);
    ::unlink(before.c_str());
    ::unlink(after.c_str());

    const std::string client = monitorClient(requests);
    ASSERT_FALSE(client.empty());
    const double back = requests.front().time;
    report("after an outage, 30 to 40 s after it came back", requests, client, back + 30.0,
           back + 40.0);
    EXPECT_LE(longestGap(requests, client, "details", back + 30.0, back + 40.0),
              1.0 + kJitterSeconds);
    for (const auto& r : requests)
        EXPECT_FALSE(r.dropped) << r.time - back << " " << r.kind;
}
