#include "platform/posix/PosixUdpSocket.h"

#include "platform/posix/FirstFreePort.h"
#include "serverlist/ServerAddress.h"
#include "serverlist/TargetAddress.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace ondel {

namespace {
std::int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

PosixUdpSocket::PosixUdpSocket() : m_resolver(&PosixUdpSocket::resolveWithSystem) {}

PosixUdpSocket::~PosixUdpSocket() {
    close();
}

std::optional<std::uint32_t> PosixUdpSocket::parseDottedQuad(const std::string& host) {
    return dottedQuadValue(host);
}

std::string PosixUdpSocket::dottedText(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = htonl(address);
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::optional<std::uint32_t> PosixUdpSocket::resolveWithSystem(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    std::optional<std::uint32_t> result;
    for (addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in sin{};
            std::memcpy(&sin, a->ai_addr, sizeof sin);
            result = ntohl(sin.sin_addr.s_addr);
            break;
        }
    }
    freeaddrinfo(found);
    return result;
}

bool PosixUdpSocket::open(std::uint16_t port) {
    close();
    m_port = port;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // No SO_REUSEADDR: the port is ours alone, and a second copy of the program moves on.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd);
        return false;
    }
    int size = kReceiveBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size); // best effort
    if (port == 0) {
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) == 0)
            m_port = ntohs(bound.sin_port);
    }
    m_fd = fd;
    return true;
}

bool PosixUdpSocket::openFirstFree(std::uint16_t first, int count) {
    return openFirstFreePort(first, count, [this](std::uint16_t port) { return open(port); });
}

bool PosixUdpSocket::reopen() {
    return open(static_cast<std::uint16_t>(m_port));
}

void PosixUdpSocket::close() {
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

int PosixUdpSocket::poll(int timeoutMs) {
    if (m_fd < 0)
        return 0;
    pollfd p{};
    p.fd = m_fd;
    p.events = POLLIN;
    int ready = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready <= 0)
        return 0;
    return readPending();
}

int PosixUdpSocket::readPending() {
    // One extra byte, and MSG_TRUNC reports the full length: a datagram over the limit is seen
    // as such and dropped instead of being parsed cut short.
    std::uint8_t buffer[kMaxDatagram + 1];
    int delivered = 0;
    // Bounded, so that a server sending without pause cannot keep the caller from its timers;
    // what is left is read at the next call.
    constexpr int kMaxReadsPerCall = 512;
    for (int reads = 0; m_fd >= 0 && reads < kMaxReadsPerCall; ++reads) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t got = ::recvfrom(m_fd, buffer, sizeof buffer, MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            break; // EAGAIN: drained; anything else (an ICMP error report): nothing to read
        }
        if (got == 0 || static_cast<std::size_t>(got) > kMaxDatagram || from.sin_family != AF_INET)
            continue;
        if (!m_receiver)
            continue;
        std::string host = dottedText(ntohl(from.sin_addr.s_addr));
        ++delivered;
        m_receiver(buffer, static_cast<std::size_t>(got), host, ntohs(from.sin_port));
    }
    return delivered;
}

std::optional<std::uint32_t> PosixUdpSocket::addressOf(const std::string& host) {
    if (isDottedText(host))
        return parseDottedQuad(host);
    auto it = m_lookups.find(host);
    if (it != m_lookups.end() && it->second.holds())
        return it->second.address;
    NameLookup& lookup = m_lookups[host];
    lookup.answer(m_resolver ? m_resolver(host) : std::nullopt);
    return lookup.address;
}

void PosixUdpSocket::NameLookup::answer(std::optional<std::uint32_t> found) {
    address = found;
    answeredAtMs = monotonicMs();
}

bool PosixUdpSocket::NameLookup::holds() const {
    return address || monotonicMs() - answeredAtMs < kRetryFailedLookupMs;
}

bool PosixUdpSocket::sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                                  std::size_t n) {
    if (m_fd < 0 || port <= 0 || port > 65535 || host.empty())
        return false;
    auto address = addressOf(host);
    // Also for a name that resolves to one: broadcast and multicast are never sent to (the
    // socket never has SO_BROADCAST either).
    if (!address || isRefusedTarget(*address))
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(*address);
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    ssize_t sent;
    do {
        sent = ::sendto(m_fd, data, n, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent > 0;
}

std::string PosixUdpSocket::resolvedAddress(const std::string& host) const {
    if (isDottedText(host))
        return {};
    auto it = m_lookups.find(host);
    if (it == m_lookups.end() || !it->second.address)
        return {};
    return dottedText(*it->second.address);
}

} // namespace ondel
