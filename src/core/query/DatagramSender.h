#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ondel {

// The one UDP socket as the query engine sees it. The platform's PosixUdpSocket (and the
// window's WindowSocket around it) implements it; tests use a fake that records what was sent.
// Called on one thread only (the GUI thread, or ondel-cli's).
class DatagramSender {
public:
    virtual ~DatagramSender() = default;

    // Sends one datagram to host text + port. A dotted IPv4 text is used as it is; any other
    // text is a host name that the implementation resolves (asynchronously: until the name is
    // resolved nothing is sent). Returns true only when the platform reports the datagram sent.
    virtual bool sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                              std::size_t n) = 0;

    // The dotted IPv4 text a host name resolved to, so that replies from that address are
    // accepted as the named server's. Empty when host is not a name, or not resolved (yet).
    virtual std::string resolvedAddress(const std::string& host) const {
        (void)host;
        return {};
    }
};

} // namespace ondel
