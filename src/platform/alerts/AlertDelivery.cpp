#include "AlertDelivery.h"

#include "curl/CurlJsonPoster.h"
#include "history/HistorySamples.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

extern char** environ;

namespace ondel {

namespace {
constexpr std::size_t kMaxQueued = 1000;
constexpr int kRetryDelaysMs[] = {1000, 2000, 4000};
// Once stopping, alerts still waiting get this long in all; the rest are dropped (and counted).
constexpr auto kDrainTime = std::chrono::seconds(10);
} // namespace

AlertDelivery::AlertDelivery(std::string webhookUrl, std::string command, std::string logName)
    : m_logName(std::move(logName)) {
    setTargets(std::move(webhookUrl), std::move(command));
}

bool AlertDelivery::active() const {
    std::lock_guard lock(m_mutex);
    return !m_webhook.empty() || !m_command.empty();
}

void AlertDelivery::setTargets(std::string webhookUrl, std::string command) {
    std::lock_guard lock(m_mutex);
    m_webhook = std::move(webhookUrl);
    m_command = std::move(command);
    // The worker starts with the first target and stays until the end.
    if ((!m_webhook.empty() || !m_command.empty()) && !m_worker.joinable() && !m_stopping)
        m_worker = std::thread([this] { run(); });
}

AlertDelivery::~AlertDelivery() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void AlertDelivery::deliver(AlertEvent event) {
    {
        std::lock_guard lock(m_mutex);
        if (m_webhook.empty() && m_command.empty())
            return;
        if (m_queue.size() >= kMaxQueued) {
            std::fprintf(stderr, "%s: too many alerts waiting; %s alert for %s dropped\n",
                         m_logName.c_str(), alertKindName(event.kind), event.server.c_str());
            return;
        }
        m_queue.push_back(std::move(event));
    }
    m_wake.notify_one();
}

bool AlertDelivery::pause(int ms) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

void AlertDelivery::run() {
    std::optional<std::chrono::steady_clock::time_point> drainUntil;
    for (;;) {
        AlertEvent event;
        std::string webhook;
        std::string command;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return; // stopping, and everything is delivered
            if (m_stopping && !drainUntil)
                drainUntil = std::chrono::steady_clock::now() + kDrainTime;
            if (drainUntil && std::chrono::steady_clock::now() > *drainUntil) {
                std::fprintf(stderr, "%s: %zu alerts not delivered at the end\n", m_logName.c_str(),
                             m_queue.size());
                return;
            }
            event = std::move(m_queue.front());
            m_queue.pop_front();
            webhook = m_webhook;
            command = m_command;
        }
        if (!webhook.empty())
            post(webhook, event);
        if (!command.empty())
            runCommand(std::move(command), event);
    }
}

void AlertDelivery::post(const std::string& webhook, const AlertEvent& event) {
    const std::string body = alertJson(event);
    const int attempts = 1 + static_cast<int>(std::size(kRetryDelaysMs));
    for (int attempt = 1;; ++attempt) {
        JsonPostResult result = postJson(webhook, body);
        if (result.delivered())
            return;
        std::string why =
            !result.error.empty() ? result.error : "HTTP status " + std::to_string(result.status);
        std::fprintf(stderr, "%s: webhook for the %s alert of %s failed (try %d of %d): %s\n",
                     m_logName.c_str(), alertKindName(event.kind), event.server.c_str(), attempt,
                     attempts, why.c_str());
        if (attempt == attempts || !pause(kRetryDelaysMs[attempt - 1])) {
            std::fprintf(stderr, "%s: the %s alert of %s was not delivered\n", m_logName.c_str(),
                         alertKindName(event.kind), event.server.c_str());
            return;
        }
    }
}

void AlertDelivery::runCommand(std::string command, const AlertEvent& event) {
    std::vector<std::string> variables = {
        std::string("ONDEL_EVENT=") + alertKindName(event.kind),
        "ONDEL_SERVER=" + event.server,
        "ONDEL_NAME=" + event.name,
        "ONDEL_TIME=" + isoTimeUtc(event.timeMs),
        "ONDEL_TEXT=" + event.text,
        "ONDEL_PLAYERS=" + std::to_string(event.players),
        "ONDEL_MAX_PLAYERS=" + std::to_string(event.maxPlayers),
        "ONDEL_MAP=" + event.map,
        "ONDEL_PLAYER=" + event.player,
    };
    std::vector<char*> env;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "ONDEL_", 6) != 0)
            env.push_back(*e);
    }
    for (auto& v : variables) {
        // Values are single lines of UTF-8 already; a stray NUL would cut them, never more.
        env.push_back(v.data());
    }
    env.push_back(nullptr);
    std::string shell = "/bin/sh";
    std::string dashC = "-c";
    char* argv[] = {shell.data(), dashC.data(), command.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    int error = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "%s: the command cannot be started: %s\n", m_logName.c_str(),
                     std::strerror(error));
        return;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s: the command for the %s alert of %s ended with status %d\n",
                     m_logName.c_str(), alertKindName(event.kind), event.server.c_str(),
                     WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        std::fprintf(stderr, "%s: the command for the %s alert of %s ended by signal %d\n",
                     m_logName.c_str(), alertKindName(event.kind), event.server.c_str(),
                     WTERMSIG(status));
}

} // namespace ondel
