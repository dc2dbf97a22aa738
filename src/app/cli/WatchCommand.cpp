// ondel-cli watch [FILE...|-] [--interval SECONDS] [--data-dir DIR] [--down-after N]
// [--webhook URL] [--exec COMMAND] [--metrics HOST:PORT] [--shard K/N] ...: asks every server
// of the lists every interval, keeps the history, fires alerts and serves the latest round to
// Prometheus, until SIGTERM or SIGINT. SIGHUP reads the files again.
#include "AlertDelivery.h"
#include "CliCommand.h"
#include "CliEventLoop.h"
#include "ServerInputs.h"

#include "alerts/AlertTracker.h"
#include "browser/Scan.h"
#include "common/Text.h"
#include "history/HistorySamples.h"
#include "history/HistoryStore.h"
#include "httpd/MetricsServer.h"
#include "platform/SystemClock.h"
#include "platform/posix/PosixUdpSocket.h"
#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/ServerKnowledge.h"
#include "sqlite/SqliteHistoryStore.h"
#include "watch/PrometheusText.h"
#include "watch/Shard.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

namespace ondel::cli {

namespace {

constexpr const char* kUsage =
    "usage: ondel-cli watch [FILE...|-] [--interval SECONDS] [--data-dir DIR] [--down-after N]\n"
    "                       [--webhook URL] [--exec COMMAND] [--metrics [HOST:]PORT] "
    "[--shard K/N]\n"
    "                       [--players-at-least N] [--players-at-most N] [--map-changes]\n"
    "                       [--watch-player NAME]...\n";
constexpr int kExitStopped = 0;
constexpr int kExitBadArguments = 1;
constexpr std::uint32_t kTickMs = 5;
constexpr std::uint32_t kHousekeepingMs = 200;

struct WatchOptions {
    std::vector<std::string> files;
    int intervalSeconds = 60;
    std::string dataDir;
    AlertRules rules;
    std::string webhook;
    std::string command;
    std::optional<std::pair<std::string, int>> metrics; // host, port
    Shard shard;
};

bool parseNumber(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    int value = 0;
    text::parseLeadingInt(text, value);
    if (value < low || value > high)
        return false;
    out = value;
    return true;
}

// "PORT" (loopback) or "HOST:PORT" with an IPv4 address.
std::optional<std::pair<std::string, int>> parseListen(const std::string& text) {
    std::size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    int port = 0;
    if (host.empty() || !isDottedText(host) ||
        !parseNumber(colon == std::string::npos ? text : text.substr(colon + 1), 0, 65535, port))
        return std::nullopt;
    return std::make_pair(host, port);
}

// The whole command line; error says what is wrong with it.
std::optional<WatchOptions> parseWatchOptions(const std::vector<std::string>& args,
                                              std::string& error) {
    WatchOptions o;
    std::vector<std::string> watched;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        auto number = [&](int low, int high, int& out, const char* what) {
            if (!hasValue || !parseNumber(value, low, high, out)) {
                error = arg + " needs " + what;
                return false;
            }
            ++i;
            return true;
        };
        auto text = [&](std::string& out) {
            if (!hasValue || value.empty()) {
                error = arg + " needs a value";
                return false;
            }
            out = value;
            ++i;
            return true;
        };
        if (arg == "--interval") {
            if (!number(1, 86400, o.intervalSeconds, "a number of seconds from 1 to 86400"))
                return std::nullopt;
        } else if (arg == "--down-after") {
            if (!number(0, 1000, o.rules.downAfter, "a number of misses from 0 to 1000"))
                return std::nullopt;
        } else if (arg == "--players-at-least" || arg == "--players-at-most") {
            int n = 0;
            if (!number(0, 100000, n, "a number of players"))
                return std::nullopt;
            (arg == "--players-at-least" ? o.rules.playersAtLeast : o.rules.playersAtMost) = n;
        } else if (arg == "--map-changes") {
            o.rules.mapChanges = true;
        } else if (arg == "--watch-player") {
            std::string name;
            if (!text(name))
                return std::nullopt;
            watched.push_back(name);
        } else if (arg == "--data-dir") {
            if (!text(o.dataDir))
                return std::nullopt;
        } else if (arg == "--webhook") {
            if (!text(o.webhook))
                return std::nullopt;
            if (o.webhook.rfind("http://", 0) != 0 && o.webhook.rfind("https://", 0) != 0) {
                error = "--webhook needs an http:// or https:// address";
                return std::nullopt;
            }
        } else if (arg == "--exec") {
            if (!text(o.command))
                return std::nullopt;
        } else if (arg == "--metrics") {
            o.metrics = hasValue ? parseListen(value) : std::nullopt;
            if (!o.metrics) {
                error = "--metrics needs PORT or IPV4-ADDRESS:PORT";
                return std::nullopt;
            }
            ++i;
        } else if (arg == "--shard") {
            auto shard = hasValue ? parseShard(value) : std::nullopt;
            if (!shard) {
                error = "--shard needs K/N with 1 <= K <= N";
                return std::nullopt;
            }
            o.shard = *shard;
            ++i;
        } else if (arg != "-" && !arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            o.files.push_back(arg);
        }
    }
    o.rules.watchedPlayers = std::move(watched);
    if (o.files.empty())
        o.files.push_back("-");
    return o;
}

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_reload = 0;

void onSignal(int signal) {
    if (signal == SIGHUP)
        g_reload = 1;
    else
        g_stop = 1;
}

void installSignals() {
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: the wait in poll() ends at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

std::int64_t wallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Where the history is kept: --data-dir, else $XDG_DATA_HOME/Ondel, else ~/.local/share/Ondel.
std::string dataDirectory(const std::string& given) {
    if (!given.empty())
        return given;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/Ondel";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.local/share/Ondel";
}

// The history store of the data folder, which is made (for the user only) when missing.
std::unique_ptr<HistoryStore> openHistory(const std::string& directory) {
    std::error_code error;
    if (std::filesystem::create_directories(directory, error))
        std::filesystem::permissions(directory, std::filesystem::perms::owner_all, error);
    return std::make_unique<SqliteHistoryStore>(directory + "/" + SqliteHistoryStore::kFileName);
}

class Watcher {
public:
    Watcher(const WatchOptions& options, PosixUdpSocket& socket)
        : m_options(options), m_budget(m_clock), m_router(socket, &m_budget),
          m_scan(m_clock, m_router, m_knowledge, scanOptions(options.intervalSeconds)),
          m_loop(socket, m_clock), m_delivery(options.webhook, options.command) {
        socket.setReceiver([this](const std::uint8_t* data, std::size_t n, const std::string& host,
                                  int port) { m_router.onDatagram(data, n, host, port); });
        m_alerts.setListRules(options.rules);
        m_scan.setResultHandler([this](const ScanResult& r) { onResult(r); });
        m_scan.setFinishedHandler([this] { onRoundDone(); });
    }

    bool start() {
        if (!loadServers())
            return false;
        if (m_options.metrics) {
            if (!m_metrics.start(m_options.metrics->first, m_options.metrics->second)) {
                std::fprintf(stderr, "ondel-cli watch: %s\n", m_metrics.error().c_str());
                return false;
            }
            m_metrics.publish(prometheusText({}, m_figures));
            std::fprintf(stderr, "ondel-cli watch: metrics at http://%s:%d/metrics\n",
                         m_options.metrics->first.c_str(), m_metrics.port());
        }
        m_history = openHistory(dataDirectory(m_options.dataDir));
        return true;
    }

    int run() {
        startRound();
        m_loop.every(kHousekeepingMs, [this] { housekeeping(); });
        int status = m_loop.run();
        m_scan.cancel();
        if (m_history)
            m_history->flush();
        m_metrics.stop();
        return status;
    }

private:
    static ScanOptions scanOptions(int intervalSeconds) {
        ScanOptions options;
        // A round should end well within the interval: half of it at most, 2.5 s at most.
        options.timeoutMs = static_cast<std::uint32_t>(
            std::clamp(intervalSeconds * 500, 500, static_cast<int>(options.timeoutMs)));
        options.retryAfterMs = std::max<std::uint32_t>(1, options.timeoutMs * 2 / 5);
        return options;
    }

    bool loadServers() {
        m_inputs.clear();
        for (const auto& file : m_options.files)
            m_inputs.addFile(file);
        if (m_inputs.read() == 0)
            return false; // each file said why
        std::vector<ServerAddress> servers;
        for (const auto& address : m_inputs.targets().addresses)
            if (inShard(address, m_options.shard))
                servers.push_back(address);
        // Servers no longer listed leave no alert state behind.
        std::set<std::string> now;
        for (const auto& a : servers)
            now.insert(addressText(a));
        for (const auto& a : m_servers)
            if (!now.count(addressText(a)))
                m_alerts.forget(addressText(a));
        m_servers = std::move(servers);
        std::string shard =
            m_options.shard.count > 1
                ? text::format(" (shard %d/%d of %zu)", m_options.shard.index,
                               m_options.shard.count, m_inputs.targets().addresses.size())
                : std::string();
        std::fprintf(stderr, "ondel-cli watch: watching %zu servers%s every %d s\n",
                     m_servers.size(), shard.c_str(), m_options.intervalSeconds);
        return true;
    }

    void startRound() {
        m_roundStarted = m_clock.tickMs();
        m_roundStartedWall = wallClockMs();
        m_roundServers = m_servers;
        m_round.assign(m_roundServers.size(), ServerMetrics());
        m_samples.clear();
        m_samples.reserve(m_roundServers.size());
        m_inRound = true;
        if (m_roundServers.empty()) {
            onRoundDone();
            return;
        }
        m_scan.add(m_roundServers);
        if (m_scan.running())
            scheduleTick();
    }

    void scheduleTick() {
        m_loop.after(
            std::max<std::uint32_t>(kTickMs, std::min<std::uint32_t>(m_scan.msUntilNextTick(), 50)),
            [this] {
                if (!m_scan.running())
                    return;
                m_scan.tick();
                if (m_scan.running())
                    scheduleTick();
            });
    }

    void onResult(const ScanResult& r) {
        if (r.index >= m_round.size())
            return;
        const bool up = r.status == ScanResult::Status::Up;
        const ServerEntry& e = r.entry;
        ServerMetrics& m = m_round[r.index];
        m.server = addressText(r.address);
        m.up = up;
        if (up) {
            m.players = e.players;
            m.maxPlayers = e.maxPlayers;
            m.bots = r.bots;
            m.pingMs = r.pingMs;
            m.name = e.hostName;
            m.map = e.map;
            m.game = !e.gameDescription.empty() ? e.gameDescription : e.gameDir;
            m.dialect = r.dialect ? dialectName(*r.dialect) : "";
        }

        HistorySample sample = sampleFromScan(r, wallClockMs());
        const std::int64_t timeMs = sample.timeMs;
        m_samples.push_back(std::move(sample));

        AlertObservation seen;
        seen.server = m.server;
        seen.up = up;
        seen.name = e.hostName;
        seen.players = e.players;
        seen.maxPlayers = e.maxPlayers;
        seen.map = e.map;
        seen.gotPlayers = r.gotPlayers;
        for (const auto& p : e.playerList)
            seen.playerNames.push_back(p.name);
        for (AlertEvent& event : m_alerts.observe(seen, timeMs)) {
            std::fprintf(stderr, "ondel-cli watch: %s: %s\n", alertKindName(event.kind),
                         event.text.c_str());
            m_delivery.deliver(std::move(event));
        }
    }

    void onRoundDone() {
        m_inRound = false;
        const std::uint32_t ms = m_clock.tickMs() - m_roundStarted;
        ++m_figures.rounds;
        m_figures.roundSeconds = ms / 1000.0;
        m_figures.packetsSent = m_router.packetsSent();
        m_figures.packetsReceived = m_router.packetsReceived();
        m_figures.sendsHeld = m_router.sendsHeld();
        std::size_t up = 0;
        for (const auto& m : m_round)
            up += m.up;
        if (m_options.metrics)
            m_metrics.publish(prometheusText(m_round, m_figures));
        if (m_history) {
            m_history->record(std::move(m_samples));
            std::string problem = m_history->lastError();
            if (!problem.empty() && problem != m_historyProblem)
                std::fprintf(stderr, "ondel-cli watch: history: %s\n", problem.c_str());
            m_historyProblem = problem;
        }
        m_samples = {};
        std::fprintf(stderr, "ondel-cli watch: round %llu: %zu servers, %zu up, %zu down, %u ms\n",
                     static_cast<unsigned long long>(m_figures.rounds), m_round.size(), up,
                     m_round.size() - up, ms);
    }

    void housekeeping() {
        if (g_stop) {
            m_loop.exit(kExitStopped);
            return;
        }
        if (g_reload) {
            g_reload = 0;
            std::fprintf(stderr, "ondel-cli watch: reading the lists again\n");
            loadServers(); // from the next round on; an unreadable list keeps the servers read
        }
        const std::int64_t dueMs = m_roundStartedWall + m_options.intervalSeconds * 1000LL;
        if (!m_inRound && wallClockMs() >= dueMs)
            startRound();
    }

    const WatchOptions& m_options;
    SystemClock m_clock;
    QueryBudget m_budget;
    DatagramRouter m_router;
    ServerKnowledge m_knowledge;
    Scan m_scan;
    CliEventLoop m_loop;
    AlertTracker m_alerts;
    AlertDelivery m_delivery;
    MetricsServer m_metrics;
    std::unique_ptr<HistoryStore> m_history;
    std::string m_historyProblem;
    ServerInputs m_inputs{"watch"};
    std::vector<ServerAddress> m_servers;

    std::vector<ServerAddress> m_roundServers;
    std::vector<ServerMetrics> m_round;
    std::vector<HistorySample> m_samples;
    WatchFigures m_figures;
    std::uint32_t m_roundStarted = 0;
    std::int64_t m_roundStartedWall = 0;
    bool m_inRound = false;
};

int runWatch(const std::vector<std::string>& args) {
    std::string error;
    std::optional<WatchOptions> options = parseWatchOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "ondel-cli watch: %s\n%s", error.c_str(), kUsage);
        return kExitBadArguments;
    }
    installSignals();
    PosixUdpSocket socket;
    if (!socket.open(0)) {
        std::fprintf(stderr, "ondel-cli watch: Can't initialize socket!!!\n");
        return kExitBadArguments;
    }
    Watcher watcher(*options, socket);
    if (!watcher.start())
        return kExitBadArguments;
    return watcher.run();
}

const CliCommand watchCommand("watch",
                              "watch [FILE...|-] [--interval SECONDS] [--metrics [HOST:]PORT] "
                              "[--shard K/N] [--webhook URL] [--exec COMMAND] ...   keep asking "
                              "every server of a list",
                              &runWatch);

} // namespace

} // namespace ondel::cli
