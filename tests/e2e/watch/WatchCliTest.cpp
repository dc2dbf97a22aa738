// ondel-cli watch against simulated servers on loopback: alerts through a webhook stand-in and a
// command, /metrics scraped by a real Prometheus, and shards that split a list.
#include "../hlsim/SimProcess.h"

#include "sqlite/SqliteHistoryStore.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

using ondel::hlsimtest::BackgroundProgram;
using ondel::hlsimtest::runProgram;
using ondel::hlsimtest::SimProcess;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";
const std::string kStandIn = ONDEL_TEST_DATA "/../e2e/watch/webhook_standin.py";
const std::string kPrometheus = "/usr/bin/prometheus";

// A private folder under /tmp, removed at the end.
struct TempDir {
    std::string path;
    TempDir() {
        std::string pattern = "/tmp/ondel-watch-XXXXXX";
        path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
};

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// One HTTP/1.0 GET to 127.0.0.1:port; the status line's code and the body ("" and 0 on failure).
std::pair<int, std::string> httpGet(int port, const std::string& target) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            ssize_t n;
            while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    std::size_t bodyAt = reply.find("\r\n\r\n");
    if (reply.rfind("HTTP/1.", 0) != 0 || bodyAt == std::string::npos)
        return {0, ""};
    return {std::atoi(reply.c_str() + 9), reply.substr(bodyAt + 4)};
}

int freeTcpPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size);
    ::close(fd);
    return ntohs(at.sin_port);
}

// The port a watcher serves its metrics on, from its start-up line.
int metricsPort(const BackgroundProgram& watch) {
    int port = 0;
    waitFor(
        [&] {
            std::smatch m;
            std::string err = watch.err();
            if (std::regex_search(err, m, std::regex("metrics at http://127\\.0\\.0\\.1:(\\d+)/")))
                port = std::stoi(m[1]);
            return port != 0;
        },
        10000);
    return port;
}

// server -> value of one gauge in a metrics text.
std::map<std::string, std::string> gauge(const std::string& metrics, const std::string& name) {
    std::map<std::string, std::string> values;
    std::regex line("^" + name + "\\{server=\"([^\"]+)\"\\} (\\S+)$", std::regex::multiline);
    for (std::sregex_iterator it(metrics.begin(), metrics.end(), line), end; it != end; ++it)
        values[(*it)[1]] = (*it)[2];
    return values;
}

std::string addressList(const std::vector<int>& ports) {
    std::string text;
    for (int port : ports)
        text += "127.0.0.1:" + std::to_string(port) + "\n";
    return text;
}

} // namespace

TEST(WatchCli, StoppedServerGivesOneDownAndOneUpAlertAndTheOtherNone) {
    TempDir dir;
    SimProcess steady;
    ASSERT_TRUE(steady.start({"--players", "3"})) << steady.error();
    SimProcess flaky;
    const std::string pwned = dir.file("pwned");
    const std::string hostile = "$(touch " + pwned + ")`touch " + pwned + "`";
    ASSERT_TRUE(flaky.start({"--players", "1", "--name", hostile})) << flaky.error();
    const std::string flakyAddress = "127.0.0.1:" + std::to_string(flaky.port());
    const std::string steadyAddress = "127.0.0.1:" + std::to_string(steady.port());

    // The stand-in refuses the first post, so the first alert only gets through on a retry.
    BackgroundProgram hook;
    const std::string hookLog = dir.file("hook.log");
    ASSERT_TRUE(hook.start("/usr/bin/python3", {kStandIn, hookLog, "--fail", "1"}));
    int hookPort = 0;
    ASSERT_TRUE(waitFor([&] { return (hookPort = std::atoi(hook.out().c_str())) > 0; }, 10000));

    std::ofstream(dir.file("servers.txt")) << addressList({steady.port(), flaky.port()});
    const std::string execLog = dir.file("exec.log");
    BackgroundProgram watch;
    ASSERT_TRUE(watch.start(
        kCli,
        {"watch", dir.file("servers.txt"), "--interval", "2", "--data-dir", dir.file("data"),
         "--webhook", "http://127.0.0.1:" + std::to_string(hookPort) + "/hook", "--exec",
         "printf '%s|%s|%s\\n' \"$ONDEL_EVENT\" \"$ONDEL_SERVER\" \"$ONDEL_NAME\" >> " + execLog}));
    ASSERT_TRUE(waitFor([&] { return count(watch.err(), "round ") >= 2; }, 15000)) << watch.err();

    ::kill(flaky.pid(), SIGSTOP); // no answers until it is continued
    bool down = waitFor([&] { return count(readText(hookLog), "\"down\"") >= 1; }, 20000);
    std::size_t roundsWhenDown = count(watch.err(), "round ");
    // Two more rounds without answers: no second down.
    waitFor([&] { return count(watch.err(), "round ") >= roundsWhenDown + 2; }, 10000);
    ::kill(flaky.pid(), SIGCONT);
    ASSERT_TRUE(down) << watch.err();
    ASSERT_TRUE(waitFor([&] { return count(readText(hookLog), "\"up\"") >= 1; }, 15000))
        << watch.err();
    std::size_t rounds = count(watch.err(), "round ");
    waitFor([&] { return count(watch.err(), "round ") >= rounds + 2; }, 10000);
    EXPECT_EQ(watch.stop(SIGTERM), 0) << watch.err();

    std::map<std::string, int> seen;
    std::istringstream lines(readText(hookLog));
    for (std::string line; std::getline(lines, line);) {
        QJsonParseError error{};
        QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
        std::string event = o.value("event").toString().toStdString();
        ++seen[event + " " + o.value("server").toString().toStdString()];
        EXPECT_EQ(o.value("name").toString().toStdString(), hostile) << line;
        EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")
                        .match(o.value("time").toString())
                        .hasMatch())
            << line;
        EXPECT_FALSE(o.value("text").toString().isEmpty());
        EXPECT_EQ(o.value("text"), o.value("content"));
    }
    EXPECT_EQ(seen,
              (std::map<std::string, int>{{"down " + flakyAddress, 1}, {"up " + flakyAddress, 1}}));
    EXPECT_NE(watch.err().find("try 1 of 4"), std::string::npos) << watch.err();

    // The command got the server's text in its environment and never ran it.
    EXPECT_EQ(readText(execLog), "down|" + flakyAddress + "|" + hostile + "\nup|" + flakyAddress +
                                     "|" + hostile + "\n");
    EXPECT_FALSE(std::filesystem::exists(pwned));
    EXPECT_EQ(watch.err().find(steadyAddress + " is"), std::string::npos);
    hook.stop(SIGTERM);

    // The history holds every round: the steady server up throughout with its players, the
    // other up, then down, then up again.
    const std::string database = dir.file("data/history.sqlite");
    EXPECT_EQ(runProgram("/usr/bin/sqlite3", {database, "PRAGMA integrity_check"}).out, "ok\n");
    ondel::SqliteHistoryStore store(database);
    auto steadySamples = store.samples(steadyAddress, 0, INT64_MAX);
    EXPECT_GE(steadySamples.size(), 6u);
    for (const auto& sample : steadySamples) {
        EXPECT_TRUE(sample.up);
        EXPECT_EQ(sample.players, 3);
    }
    std::vector<bool> phases;
    for (const auto& sample : store.samples(flakyAddress, 0, INT64_MAX))
        if (phases.empty() || phases.back() != sample.up)
            phases.push_back(sample.up);
    EXPECT_EQ(phases, (std::vector<bool>{true, false, true}));
}

TEST(WatchCli, PrometheusScrapesTwoHundredServersOfWhichTwentyAreDead) {
    if (::access(kPrometheus.c_str(), X_OK) != 0)
        GTEST_SKIP() << kPrometheus << " is not installed (Debian package prometheus)";
    TempDir dir;
    SimProcess sims;
    ASSERT_TRUE(sims.start(
        {"--count", "200", "--dead-share", "0.1", "--players", "4", "--max-players", "20"}, 200))
        << sims.error();
    std::ofstream(dir.file("servers.txt")) << addressList(sims.ports());
    BackgroundProgram watch;
    ASSERT_TRUE(watch.start(kCli, {"watch", dir.file("servers.txt"), "--interval", "2", "--metrics",
                                   "127.0.0.1:0", "--down-after", "1"}));
    int port = metricsPort(watch);
    ASSERT_NE(port, 0) << watch.err();
    ASSERT_TRUE(waitFor([&] { return count(watch.err(), "round ") >= 1; }, 15000)) << watch.err();

    auto [status, metrics] = httpGet(port, "/metrics");
    ASSERT_EQ(status, 200);
    auto up = gauge(metrics, "a2s_server_up");
    auto players = gauge(metrics, "a2s_server_players");
    auto maxPlayers = gauge(metrics, "a2s_server_max_players");
    ASSERT_EQ(up.size(), 200u);
    ASSERT_EQ(players.size(), 200u);
    ASSERT_EQ(maxPlayers.size(), 200u);
    int answered = 0;
    for (const auto& [server, value] : up) {
        const bool isUp = value == "1";
        answered += isUp;
        EXPECT_EQ(players[server], std::string(isUp ? "4" : "0")) << server;
        EXPECT_EQ(maxPlayers[server], std::string(isUp ? "20" : "0")) << server;
    }
    EXPECT_EQ(answered, 180);
    EXPECT_EQ(httpGet(port, "/").first, 200);
    EXPECT_EQ(httpGet(port, "/metrics/x").first, 404);

    const int webPort = freeTcpPort();
    std::ofstream(dir.file("prometheus.yml"))
        << "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
        << "scrape_configs:\n  - job_name: ondel\n    static_configs:\n"
        << "      - targets: ['127.0.0.1:" << port << "']\n";
    BackgroundProgram prometheus;
    ASSERT_TRUE(prometheus.start(kPrometheus,
                                 {"--config.file=" + dir.file("prometheus.yml"),
                                  "--storage.tsdb.path=" + dir.file("tsdb"),
                                  "--web.listen-address=127.0.0.1:" + std::to_string(webPort)}));
    auto query = [&](const std::string& expression) {
        std::string body = httpGet(webPort, "/api/v1/query?query=" + expression).second;
        QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
        auto result = o.value("data").toObject().value("result").toArray();
        return result.isEmpty()
                   ? std::string()
                   : result[0].toObject().value("value").toArray()[1].toString().toStdString();
    };
    EXPECT_TRUE(waitFor([&] { return query("count(a2s_server_up)") == "200"; }, 30000))
        << prometheus.err();
    EXPECT_EQ(query("sum(a2s_server_up)"), "180");
    EXPECT_EQ(query("sum(a2s_server_players)"), "720");
    prometheus.stop(SIGTERM);
    EXPECT_EQ(watch.stop(SIGINT), 0) << watch.err();
}

TEST(WatchCli, TwoShardsSplitAListWithNothingTwiceAndNothingLeftOut) {
    TempDir dir;
    std::vector<int> ports;
    for (int i = 0; i < 200; ++i)
        ports.push_back(40000 + i); // nothing listens there: every server is down, and listed
    std::ofstream(dir.file("servers.txt")) << addressList(ports);
    std::set<std::string> shards[2];
    BackgroundProgram watches[2];
    for (int k = 0; k < 2; ++k)
        ASSERT_TRUE(
            watches[k].start(kCli, {"watch", dir.file("servers.txt"), "--interval", "60",
                                    "--metrics", "0", "--shard", std::to_string(k + 1) + "/2"}));
    for (int k = 0; k < 2; ++k) {
        int port = metricsPort(watches[k]);
        ASSERT_NE(port, 0) << watches[k].err();
        ASSERT_TRUE(waitFor([&] { return count(watches[k].err(), "round 1:") == 1; }, 15000));
        for (const auto& [server, value] : gauge(httpGet(port, "/metrics").second, "a2s_server_up"))
            shards[k].insert(server);
        EXPECT_EQ(watches[k].stop(SIGTERM), 0);
    }
    EXPECT_FALSE(shards[0].empty());
    EXPECT_FALSE(shards[1].empty());
    std::set<std::string> all = shards[0];
    all.insert(shards[1].begin(), shards[1].end());
    EXPECT_EQ(all.size(), 200u); // disjoint and complete
    EXPECT_EQ(shards[0].size() + shards[1].size(), 200u);
}

TEST(WatchCli, HangUpReadsTheListsAgainFromTheNextRound) {
    TempDir dir;
    const std::string list = dir.file("servers.txt");
    std::ofstream(list) << addressList({40300});
    BackgroundProgram watch;
    ASSERT_TRUE(watch.start(kCli, {"watch", list, "--interval", "2", "--metrics", "0", "--data-dir",
                                   dir.file("data")}));
    int port = metricsPort(watch);
    ASSERT_NE(port, 0) << watch.err();
    ASSERT_TRUE(waitFor([&] { return count(watch.err(), "round ") >= 1; }, 10000));
    std::ofstream(list) << addressList({40300, 40301, 40302});
    ASSERT_EQ(::kill(watch.pid(), SIGHUP), 0);
    EXPECT_TRUE(waitFor(
        [&] { return gauge(httpGet(port, "/metrics").second, "a2s_server_up").size() == 3; },
        10000))
        << watch.err();
    EXPECT_NE(watch.err().find("watching 3 servers"), std::string::npos) << watch.err();
    EXPECT_EQ(watch.stop(SIGTERM), 0) << watch.err();
}
