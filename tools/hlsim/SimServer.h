#pragma once

#include "Datagram.h"
#include "Fragmenter.h"
#include "HlsimOptions.h"
#include "QueryLimiter.h"
#include "QueryResponder.h"
#include "RconHandler.h"
#include "Scenario.h"
#include "ServerState.h"

#include <netinet/in.h>

#include <cstdio>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace ondel::hlsim {

// One simulated server on one UDP port: receives requests, hands them to the query responder
// or the remote console, splits long replies, applies the configured faults (loss, delay,
// duplicates, garbage, a wrong source port), plays its scenario and sends log lines to the log
// addresses. Owns its sockets. Driven by the caller's poll loop on one thread; times are
// seconds on the simulator's clock.
class SimServer {
public:
    SimServer(const HlsimOptions& options, int serverNumber, std::optional<Scenario> scenario,
              std::uint32_t seed);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Binds the server's socket to the bind address and `port` (0: any free port), and with
    // --wrong-port a second socket for the replies. On failure returns false with the error
    // text and errno kept, and holds no socket.
    bool open(int port, std::string& error);
    void close();
    int port() const { return m_port; }

    // The sockets to watch for input.
    std::vector<int> sockets() const;
    // Reads every pending datagram of `fd` and answers them.
    void onReadable(int fd, double now);
    // Runs the scenario events that are due and sends the replies whose delay is over.
    void tick(double now);
    // When tick() next has something to do, if ever.
    std::optional<double> nextWake() const;

    // Every request received goes here as a line "SECONDS IP:PORT KIND ok|dropped" (may be
    // null; not owned; flushed per line).
    void setRequestLog(std::FILE* log) { m_requestLog = log; }
    const QueryLimiter& limiter() const { return m_limiter; }

private:
    struct Pending {
        double due = 0.0;
        int fd = -1;
        sockaddr_in to{};
        Datagram bytes;
    };

    void handleRequest(const Datagram& request, const sockaddr_in& from, double now);
    void sendReply(const Datagram& whole, const sockaddr_in& to, double now);
    void flush(double now);
    void sendLogLines(const std::vector<std::string>& lines);
    void transmit(int fd, const sockaddr_in& to, const Datagram& bytes);
    Datagram garbage();
    bool chance(int percent);
    void note(const std::string& text) const;

    HlsimOptions m_options;
    int m_serverNumber;
    std::optional<Scenario> m_scenario;
    std::mt19937 m_rng;
    std::optional<ServerState> m_state;
    QueryResponder m_responder;
    RconHandler m_rcon;
    Fragmenter m_fragmenter;
    QueryLimiter m_limiter;
    std::FILE* m_requestLog = nullptr;
    int m_socket = -1;
    int m_replySocket = -1; // --wrong-port: replies leave from this one
    int m_port = 0;
    std::deque<Pending> m_pending;
    bool m_warnedTooLong = false;
    // --rcon-endless: the client that gets printed lines, and when the next burst is due.
    std::optional<sockaddr_in> m_endlessTo;
    double m_endlessDue = 0.0;
    std::uint64_t m_endlessLines = 0;
};

} // namespace ondel::hlsim
