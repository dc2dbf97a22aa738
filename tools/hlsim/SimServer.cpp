#include "SimServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace ondel::hlsim {

namespace {

// Derives independent seeds for the parts of one server from the run's seed.
std::uint32_t mix(std::uint32_t seed, std::uint32_t salt) {
    std::uint32_t z = seed + salt * 0x9E3779B9u;
    z = (z ^ (z >> 16)) * 0x85EBCA6Bu;
    z = (z ^ (z >> 13)) * 0xC2B2AE35u;
    return z ^ (z >> 16);
}

std::string ipText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

int openSocket(const std::string& ip, int port, std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) {
        error = "not an IPv4 address: " + ip;
        errno = EINVAL;
        return -1;
    }
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        int saved = errno;
        error = "cannot listen on " + ip + ":" + std::to_string(port) + ": " + std::strerror(saved);
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

int boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

} // namespace

SimServer::SimServer(const HlsimOptions& options, int serverNumber,
                     std::optional<Scenario> scenario, std::uint32_t seed)
    : m_options(options), m_serverNumber(serverNumber), m_scenario(std::move(scenario)),
      m_rng(mix(seed, 1)), m_responder(mix(seed, 2)), m_rcon(mix(seed, 3)),
      m_fragmenter(static_cast<std::size_t>(options.splitSize),
                   static_cast<std::int32_t>(mix(seed, 4) & 0xFFFF)),
      m_limiter(options.queryLimitRate, options.queryLimitWindow) {}

SimServer::~SimServer() {
    close();
}

bool SimServer::open(int port, std::string& error) {
    close();
    m_socket = openSocket(m_options.bindAddress, port, error);
    if (m_socket < 0)
        return false;
    if (m_options.wrongPort) {
        m_replySocket = openSocket(m_options.bindAddress, 0, error);
        if (m_replySocket < 0) {
            int saved = errno;
            close();
            errno = saved;
            return false;
        }
    }
    m_port = boundPort(m_socket);
    std::uint32_t stateSeed = mix(static_cast<std::uint32_t>(m_rng()), 5);
    m_state.emplace(m_options, m_port, m_serverNumber, stateSeed);
    return true;
}

void SimServer::close() {
    if (m_socket >= 0)
        ::close(m_socket);
    if (m_replySocket >= 0)
        ::close(m_replySocket);
    m_socket = -1;
    m_replySocket = -1;
    m_pending.clear();
}

std::vector<int> SimServer::sockets() const {
    std::vector<int> result;
    if (m_socket >= 0)
        result.push_back(m_socket);
    if (m_replySocket >= 0)
        result.push_back(m_replySocket);
    return result;
}

void SimServer::onReadable(int fd, double now) {
    static thread_local Datagram buffer(65536);
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), 0,
                               reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0)
            return; // EAGAIN: drained (other errors: nothing to do with them)
        // The wrong-port socket only sends; whatever reaches it is dropped.
        if (fd != m_socket || n == 0 || from.sin_family != AF_INET)
            continue;
        Datagram request(buffer.begin(), buffer.begin() + n);
        handleRequest(request, from, now);
    }
}

void SimServer::handleRequest(const Datagram& request, const sockaddr_in& from, double now) {
    // A dead server holds its port (no ICMP "unreachable" gives it away) and says nothing.
    if (!m_state || m_options.silent)
        return;
    const std::string ip = ipText(from);
    if (request.size() >= 4 && request[0] == 0xFF && request[1] == 0xFF && request[2] == 0xFF &&
        request[3] == 0xFF) {
        QueryLimiter::Kind kind = QueryLimiter::kindOf(request);
        bool admitted = m_limiter.admit(ip, kind, now);
        if (m_requestLog) {
            std::fprintf(m_requestLog, "%.3f %s:%d %s %s\n", now, ip.c_str(), ntohs(from.sin_port),
                         QueryLimiter::kindName(kind), admitted ? "ok" : "dropped");
            std::fflush(m_requestLog);
        }
        if (!admitted)
            return;
    }
    if (RconHandler::isRcon(request)) {
        RconOutcome outcome = m_rcon.handle(request, ip, ntohs(from.sin_port), *m_state, now);
        for (const auto& reply : outcome.replies)
            sendReply(reply, from, now);
        sendLogLines(outcome.logLines);
        const bool command = request.size() > 8 && std::memcmp(request.data() + 4, "rcon", 4) == 0;
        if (m_options.rconEndless && command && !m_endlessTo) {
            m_endlessTo = from;
            m_endlessDue = now;
            tick(now);
        }
        return;
    }
    constexpr std::size_t kCutLength = 12;
    for (const auto& reply : m_responder.answer(request, ip, *m_state, now)) {
        if (m_options.cutFirst && reply.size() > kCutLength)
            sendReply(Datagram(reply.begin(), reply.begin() + kCutLength), from, now);
        sendReply(reply, from, now);
    }
}

void SimServer::sendReply(const Datagram& whole, const sockaddr_in& to, double now) {
    std::vector<Datagram> parts = m_fragmenter.split(whole);
    if (parts.empty() && !m_warnedTooLong) {
        m_warnedTooLong = true;
        std::fprintf(stderr,
                     "hlsim[%d]: a reply of %zu bytes needs more than %zu fragments of %zu "
                     "bytes; such replies are not sent (raise --split-size)\n",
                     m_port, whole.size(), Fragmenter::kMaxFragments, m_fragmenter.splitSize());
    }
    const int fd = m_replySocket >= 0 ? m_replySocket : m_socket;
    const double due = now + m_options.delayMs / 1000.0;
    for (auto& part : parts) {
        if (chance(m_options.lossPercent))
            continue;
        if (chance(m_options.garbagePercent))
            m_pending.push_back({due, fd, to, garbage()});
        const bool twice = chance(m_options.duplicatePercent);
        m_pending.push_back({due, fd, to, part});
        if (twice)
            m_pending.push_back({due, fd, to, std::move(part)});
    }
    flush(now);
}

void SimServer::sendLogLines(const std::vector<std::string>& lines) {
    if (lines.empty())
        return;
    const std::time_t when = std::time(nullptr);
    for (const auto& line : lines) {
        note(line);
        Datagram bytes = RconHandler::logDatagram(line, when);
        for (const auto& target : m_rcon.logTargets()) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(static_cast<std::uint16_t>(target.port));
            inet_pton(AF_INET, target.ip.c_str(), &to.sin_addr);
            transmit(m_socket, to, bytes);
        }
    }
}

void SimServer::tick(double now) {
    if (m_scenario && m_state) {
        for (const auto& event : m_scenario->due(now))
            sendLogLines(m_state->apply(event, now));
    }
    if (m_endlessTo && now >= m_endlessDue) {
        // A burst of lines every few milliseconds: far more than any console shows.
        constexpr int kBurst = 20;
        constexpr double kEverySeconds = 0.002;
        for (int i = 0; i < kBurst; ++i) {
            const std::string line = "endless output line " + std::to_string(++m_endlessLines) +
                                     " " + std::string(200, 'x') + "\n";
            transmit(m_socket, *m_endlessTo, RconHandler::printReply(line));
        }
        m_endlessDue = now + kEverySeconds;
    }
    flush(now);
}

void SimServer::flush(double now) {
    // One delay for every reply, so the queue is in due order.
    while (!m_pending.empty() && m_pending.front().due <= now) {
        transmit(m_pending.front().fd, m_pending.front().to, m_pending.front().bytes);
        m_pending.pop_front();
    }
}

std::optional<double> SimServer::nextWake() const {
    std::optional<double> wake;
    if (!m_pending.empty())
        wake = m_pending.front().due;
    if (m_scenario) {
        if (auto next = m_scenario->nextTime(); next && (!wake || *next < *wake))
            wake = next;
    }
    if (m_endlessTo && (!wake || m_endlessDue < *wake))
        wake = m_endlessDue;
    return wake;
}

void SimServer::transmit(int fd, const sockaddr_in& to, const Datagram& bytes) {
    if (fd < 0)
        return;
    // A full send buffer or an unreachable client loses the datagram, as UDP does.
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

Datagram SimServer::garbage() {
    std::uniform_int_distribution<int> kind(0, 3);
    std::uniform_int_distribution<int> length(1, 64);
    std::uniform_int_distribution<int> byte(0, 255);
    Datagram bytes;
    switch (kind(m_rng)) {
    case 0: // an unknown reply type behind a good header
        bytes = {0xFF, 0xFF, 0xFF, 0xFF, static_cast<std::uint8_t>("zQ!~"[byte(m_rng) % 4])};
        break;
    case 1: // a fragment header that cannot be right: number beyond the total
        bytes = {0xFE, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x52};
        break;
    case 2: // a cut header
        bytes = {0xFF, 0xFF, 0xFF};
        return bytes;
    default: // noise
        break;
    }
    int extra = length(m_rng);
    for (int i = 0; i < extra; ++i)
        bytes.push_back(static_cast<std::uint8_t>(byte(m_rng)));
    return bytes;
}

bool SimServer::chance(int percent) {
    if (percent <= 0)
        return false;
    if (percent >= 100)
        return true;
    return std::uniform_int_distribution<int>(0, 99)(m_rng) < percent;
}

void SimServer::note(const std::string& text) const {
    if (m_options.quiet)
        return;
    // Log lines carry client bytes (RCON text); control bytes must not reach the terminal.
    std::string shown = text;
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    std::fprintf(stderr, "hlsim[%d]: %s\n", m_port, shown.c_str());
}

} // namespace ondel::hlsim
