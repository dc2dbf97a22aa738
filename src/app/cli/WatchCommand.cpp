// ondel-cli watch [FILE...|-] [--interval SECONDS] [--data-dir DIR] [--down-after N]
// [--webhook URL] [--exec COMMAND] [--metrics HOST:PORT] [--shard K/N] ...: asks every server
// of the lists every interval, keeps the history, fires alerts and serves the latest round to
// Prometheus, until SIGTERM or SIGINT. SIGHUP reads the files again.
#include "CliCommand.h"
#include "CliEventLoop.h"
#include "CliSession.h"
#include "ServerInputs.h"

#include "alerts/AlertDelivery.h"
#include "alerts/AlertSettings.h"
#include "alerts/AlertTracker.h"
#include "browser/Scan.h"
#include "common/Text.h"
#include "history/HistorySamples.h"
#include "history/HistoryStore.h"
#include "httpd/MetricsServer.h"
#include "query/DatagramRouter.h"
#include "settings/UserPaths.h"
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

const CommandSyntax kSyntax{
    .name = "watch",
    .operands = "[FILE...|-]",
    .summary = "keep asking every server of a list: history, alerts, Prometheus metrics",
    .options = {{"--interval", "SECONDS", "from one round to the next (default 60)", 1, 86400,
                 "a number of seconds from 1 to 86400"},
                {"--data-dir", "DIR", "where history.sqlite is kept (default: the data folder)"},
                {"--down-after", "N",
                 "misses in a row before a server is down (default 3; 0: never)", 0, 1000,
                 "a number of misses from 0 to 1000"},
                {"--players-at-least", "N", "alert when a server reaches N players", 0, 100000,
                 "a number of players"},
                {"--players-at-most", "N", "alert when a server falls to N players", 0, 100000,
                 "a number of players"},
                {"--map-changes", "", "alert on every change of map"},
                {"--watch-player", "NAME", "alert when NAME joins a server (repeatable)"},
                {"--webhook", "URL", "POST every alert as JSON to URL"},
                {"--exec", "COMMAND",
                 "run COMMAND (sh -c) per alert, the event in ONDEL_* variables"},
                {"--metrics", "[HOST:]PORT",
                 "serve /metrics for Prometheus (HOST 127.0.0.1 unless given; PORT 0: any)"},
                {"--shard", "K/N", "watch only shard K of N of the servers"}},
    .dashIsOperand = true,
    .moreHelp = "Runs until SIGTERM or SIGINT (status 0); SIGHUP reads the files again.\n",
};
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

// "PORT" (loopback) or "HOST:PORT" with an IPv4 address.
std::optional<std::pair<std::string, int>> parseListen(const std::string& text) {
    std::size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    int value = 0;
    if (host.empty() || !isDottedText(host) || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos ||
        !text::parseLeadingInt(port, value) || value > 65535)
        return std::nullopt;
    return std::make_pair(host, value);
}

// What the parser read, checked beyond what the table says; error tells what is wrong.
std::optional<WatchOptions> watchOptions(const Arguments& args, std::string& error) {
    WatchOptions o;
    o.files = args.operands();
    if (o.files.empty())
        o.files.push_back("-");
    o.intervalSeconds = static_cast<int>(args.number("--interval", o.intervalSeconds));
    o.dataDir = args.text("--data-dir");
    o.rules.downAfter = static_cast<int>(args.number("--down-after", o.rules.downAfter));
    if (args.has("--players-at-least"))
        o.rules.playersAtLeast = static_cast<int>(args.number("--players-at-least", 0));
    if (args.has("--players-at-most"))
        o.rules.playersAtMost = static_cast<int>(args.number("--players-at-most", 0));
    o.rules.mapChanges = args.has("--map-changes");
    o.rules.watchedPlayers = args.texts("--watch-player");
    o.webhook = args.text("--webhook");
    if (!o.webhook.empty() && !isWebhookUrl(o.webhook)) {
        error = "--webhook needs an http:// or https:// address";
        return std::nullopt;
    }
    o.command = args.text("--exec");
    if (args.has("--metrics")) {
        o.metrics = parseListen(args.text("--metrics"));
        if (!o.metrics) {
            error = "--metrics needs PORT or IPV4-ADDRESS:PORT";
            return std::nullopt;
        }
    }
    if (args.has("--shard")) {
        auto shard = parseShard(args.text("--shard"));
        if (!shard) {
            error = "--shard needs K/N with 1 <= K <= N <= 10000";
            return std::nullopt;
        }
        o.shard = *shard;
    }
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

// Where the history is kept: --data-dir, else the data folder of the window.
std::string dataDirectory(const std::string& given) {
    return !given.empty() ? given : userDataFolder();
}

// The history store of the data folder, which is made (for the user only) when missing.
std::unique_ptr<HistoryStore> openHistory(const std::string& directory) {
    if (directory.empty()) {
        std::fprintf(stderr, "ondel-cli watch: no data folder (HOME is not set): no history is "
                             "kept; --data-dir names one\n");
        return nullptr;
    }
    std::error_code error;
    if (std::filesystem::create_directories(directory, error))
        std::filesystem::permissions(directory, std::filesystem::perms::owner_all, error);
    return std::make_unique<SqliteHistoryStore>(directory + "/" + SqliteHistoryStore::kFileName);
}

class Watcher {
public:
    Watcher(const WatchOptions& options, CliSession& session)
        : m_options(options), m_clock(session.clock()), m_router(session.router()),
          m_scan(m_clock, m_router, session.knowledge(), scanOptions(options.intervalSeconds)),
          m_loop(session.loop()), m_delivery(options.webhook, options.command) {
        m_alerts.setListRules(options.rules);
        m_scan.setResultHandler([this](const ScanResult& r) { onResult(r); });
        m_scan.setFinishedHandler([this] { onRoundDone(); });
    }

    bool start() {
        if (!loadServers())
            return false;
        if (m_options.metrics) {
            if (!m_metrics.start(m_options.metrics->first, m_options.metrics->second)) {
                failure(kSyntax, m_metrics.error());
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

        for (AlertEvent& event : m_alerts.observe(observationFromScan(r), timeMs)) {
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
            m_loop.exit(kExitOk);
            return;
        }
        if (g_reload) {
            g_reload = 0;
            std::fprintf(stderr, "ondel-cli watch: reading the lists again\n");
            loadServers(); // from the next round on; an unreadable list keeps the servers read
        }
        // By the steady clock: a change of the system time neither stalls nor hurries rounds.
        const std::uint32_t sinceStart = m_clock.tickMs() - m_roundStarted;
        if (!m_inRound &&
            sinceStart >= static_cast<std::uint32_t>(m_options.intervalSeconds) * 1000u)
            startRound();
    }

    const WatchOptions& m_options;
    const Clock& m_clock;
    DatagramRouter& m_router;
    Scan m_scan;
    CliEventLoop& m_loop;
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
    bool m_inRound = false;
};

int runWatch(const Arguments& args) {
    std::string error;
    std::optional<WatchOptions> options = watchOptions(args, error);
    if (!options)
        return usageError(kSyntax, error);
    installSignals();
    CliSession session;
    if (!session.open(kSyntax))
        return kExitFailed;
    Watcher watcher(*options, session);
    if (!watcher.start())
        return kExitFailed;
    return watcher.run();
}

const CliCommand watchCommand(kSyntax, &runWatch);

} // namespace

} // namespace ondel::cli
