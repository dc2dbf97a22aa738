#include "UdpProbe.h"

#include "common/ByteWriter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>

namespace ondel::hlsimtest {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

Bytes oob(std::string_view text, bool nul) {
    ByteWriter w;
    w.u32(0xFFFFFFFF);
    w.bytes(text);
    if (nul)
        w.u8(0);
    return w.take();
}

Bytes oobWithInt(char type, std::int32_t value) {
    ByteWriter w;
    w.u32(0xFFFFFFFF);
    w.u8(static_cast<std::uint8_t>(type));
    w.i32(value);
    return w.take();
}

std::string asText(const Bytes& bytes, std::size_t from) {
    if (from >= bytes.size())
        return {};
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
}

UdpProbe::UdpProbe() {
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
}

UdpProbe::~UdpProbe() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void UdpProbe::send(int port, const Bytes& bytes) {
    sockaddr_in to = loopback(port);
    ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

std::optional<Bytes> UdpProbe::receive(int timeoutMs, int* fromPort) {
    pollfd fd{m_fd, POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) <= 0)
        return std::nullopt;
    Bytes buffer(65536);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(m_fd, buffer.data(), buffer.size(), 0,
                           reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0)
        return std::nullopt;
    buffer.resize(static_cast<std::size_t>(n));
    if (fromPort != nullptr)
        *fromPort = ntohs(from.sin_port);
    return buffer;
}

std::vector<Bytes> UdpProbe::drain(int quietMs) {
    std::vector<Bytes> all;
    while (auto datagram = receive(quietMs))
        all.push_back(std::move(*datagram));
    return all;
}

std::optional<Bytes> UdpProbe::receiveWhole(int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::map<std::uint32_t, std::map<int, Bytes>> sets;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        auto datagram = receive(static_cast<int>(left.count()));
        if (!datagram)
            return std::nullopt;
        const Bytes& d = *datagram;
        if (d.size() < 9 || d[0] != 0xFE || d[1] != 0xFF || d[2] != 0xFF || d[3] != 0xFF)
            return datagram;
        std::uint32_t sequence = d[4] | (d[5] << 8) | (d[6] << 16) | (std::uint32_t(d[7]) << 24);
        int number = d[8] >> 4;
        int total = d[8] & 0x0F;
        auto& set = sets[sequence];
        set[number] = Bytes(d.begin() + 9, d.end());
        if (total > 0 && static_cast<int>(set.size()) == total &&
            set.rbegin()->first == total - 1) {
            Bytes whole;
            for (const auto& [n, piece] : set)
                whole.insert(whole.end(), piece.begin(), piece.end());
            return whole;
        }
    }
}

std::optional<Bytes> UdpProbe::ask(int port, const Bytes& request, int timeoutMs) {
    send(port, request);
    return receiveWhole(timeoutMs);
}

} // namespace ondel::hlsimtest
