// hlsim: a Half-Life server simulator on UDP for tests, benchmarks and the demo.
#include "HlsimOptions.h"
#include "Scenario.h"
#include "SimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <random>

using namespace ondel::hlsim;

namespace {

int g_wakePipe[2] = {-1, -1};

void onSignal(int) {
    // Only an async-signal-safe write: the poll loop sees the pipe and ends.
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &byte, 1);
}

bool installSignals() {
    if (::pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

using Servers = std::vector<std::unique_ptr<SimServer>>;

// Opens every server on consecutive ports from `first`. With port 0 the system picks the first
// port and the others must follow it; when one of them is taken the whole range is tried again.
bool openAll(Servers& servers, int first, std::string& error) {
    const int attempts = first == 0 ? 50 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        bool ok = true;
        int base = first;
        for (std::size_t i = 0; i < servers.size() && ok; ++i) {
            int port = base == 0 ? 0 : base + static_cast<int>(i);
            if (port > 65535) {
                error = "no room for the ports above " + std::to_string(base);
                ok = false;
                break;
            }
            ok = servers[i]->open(port, error);
            if (ok && base == 0)
                base = servers[i]->port();
        }
        if (ok)
            return true;
        for (auto& server : servers)
            server->close();
        if (first != 0 || errno != EADDRINUSE)
            return false;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = HlsimOptions::parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "hlsim: %s (try --help)\n", error.c_str());
        return 1;
    }
    if (options->help) {
        std::fputs(HlsimOptions::usage().c_str(), stdout);
        return 0;
    }

    std::optional<Scenario> scenario;
    if (!options->scenarioPath.empty()) {
        scenario = Scenario::load(options->scenarioPath, error);
        if (!scenario) {
            std::fprintf(stderr, "hlsim: scenario %s\n", error.c_str());
            return 1;
        }
    }
    const std::uint32_t seed = options->seed ? *options->seed : std::random_device{}();

    Servers servers;
    for (int i = 0; i < options->count; ++i)
        servers.push_back(std::make_unique<SimServer>(options->forServer(i), i, scenario,
                                                      seed + static_cast<std::uint32_t>(i)));
    if (!openAll(servers, options->port, error)) {
        std::fprintf(stderr, "hlsim: %s\n", error.c_str());
        return 1;
    }
    std::FILE* requestLog = nullptr;
    if (!options->requestLogPath.empty()) {
        requestLog = std::fopen(options->requestLogPath.c_str(), "w");
        if (!requestLog) {
            std::fprintf(stderr, "hlsim: cannot write %s\n", options->requestLogPath.c_str());
            return 1;
        }
        for (auto& server : servers)
            server->setRequestLog(requestLog);
    }
    if (!installSignals()) {
        std::fprintf(stderr, "hlsim: cannot set up signal handling\n");
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    auto clock = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    // Events at time 0 are in place before the first request can arrive.
    for (auto& server : servers)
        server->tick(0.0);
    for (auto& server : servers)
        std::printf("hlsim listening on %s:%d\n", options->bindAddress.c_str(), server->port());
    std::fflush(stdout);

    std::vector<pollfd> fds;
    std::vector<SimServer*> owners;
    for (;;) {
        fds.assign(1, pollfd{g_wakePipe[0], POLLIN, 0});
        owners.assign(1, nullptr);
        for (auto& server : servers) {
            for (int fd : server->sockets()) {
                fds.push_back(pollfd{fd, POLLIN, 0});
                owners.push_back(server.get());
            }
        }
        double now = clock();
        double wake = now + 0.25;
        for (auto& server : servers) {
            if (auto next = server->nextWake())
                wake = std::min(wake, *next);
        }
        int timeoutMs = static_cast<int>(std::max(0.0, (wake - now) * 1000.0) + 0.999);
        int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno != EINTR) {
            std::perror("hlsim: poll");
            return 1;
        }
        if (ready > 0 && (fds[0].revents & POLLIN) != 0)
            break;
        now = clock();
        for (std::size_t i = 1; ready > 0 && i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLERR)) != 0)
                owners[i]->onReadable(fds[i].fd, now);
        }
        for (auto& server : servers)
            server->tick(now);
    }
    // The summary: what each server received and what its query limit dropped, per kind.
    if (!options->quiet || options->queryLimitRate > 0.0) {
        for (auto& server : servers)
            std::fprintf(stderr, "hlsim[%d]: %s\n", server->port(),
                         server->limiter().summary().c_str());
    }
    if (requestLog)
        std::fclose(requestLog);
    if (!options->quiet)
        std::fprintf(stderr, "hlsim: stopped\n");
    return 0;
}
