#pragma once

#include "query/DatagramSender.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace ondel {

// The program's UDP socket without Qt: IPv4, non-blocking, bound exclusively to a local port (no
// SO_REUSEADDR, so a second running copy cannot share it and takes the next one). Every datagram
// that arrives goes to the receiver, one call per datagram, with the sender's dotted IPv4 text
// and port; datagrams over kMaxDatagram bytes are dropped whole.
//
// Receiving is driven by the owner: poll() waits for the socket and drains it (ondel-cli), or an
// event loop watches fd() and calls readPending() when it is readable (the window, through a
// QSocketNotifier). Either way every pending datagram is taken, not one per wake-up.
//
// Sending to a dotted IPv4 text goes straight out. Any other host text is looked up with the
// system resolver the first time it is used (this blocks: meant for the command-line tool) and
// the answer kept per text; a failed lookup is tried again after kRetryFailedLookupMs.
//
// Not thread-safe: one thread. The receiver must stay callable while the socket is open; it may
// close the socket.
class PosixUdpSocket : public DatagramSender {
public:
    static constexpr std::uint16_t kFirstPort = 7130;
    static constexpr int kPortCount = 10;
    static constexpr std::size_t kMaxDatagram = 2048;
    static constexpr std::int64_t kRetryFailedLookupMs = 10000;
    // Asked of the kernel so that a burst of replies fits (it may grant less).
    static constexpr int kReceiveBufferBytes = 1 << 20;

    using Receiver = std::function<void(const std::uint8_t* data, std::size_t n,
                                        const std::string& senderHost, int senderPort)>;
    // Host text to IPv4 address (host byte order); empty when it cannot be resolved.
    using Resolver = std::function<std::optional<std::uint32_t>(const std::string& host)>;

    PosixUdpSocket();
    ~PosixUdpSocket() override;
    PosixUdpSocket(const PosixUdpSocket&) = delete;
    PosixUdpSocket& operator=(const PosixUdpSocket&) = delete;

    // Binds to port on any local IPv4 interface (port 0: one the system picks). Closes a socket
    // open before. False when the port is taken; the port is remembered either way for reopen().
    bool open(std::uint16_t port);
    // The first port of first .. first + count - 1 that can be bound; false when none.
    bool openFirstFree(std::uint16_t first = kFirstPort, int count = kPortCount);
    bool reopen();
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // The port last asked for (the bound port when the system picked one); 0 before any open().
    int localPort() const { return m_port; }
    // The descriptor for an event loop to watch; -1 while closed.
    int fd() const { return m_fd; }

    void setReceiver(Receiver receiver) { m_receiver = std::move(receiver); }
    // Replaces the system resolver (tests).
    void setResolver(Resolver resolver) { m_resolver = std::move(resolver); }

    // Waits up to timeoutMs (0: not at all) for a datagram, then delivers what is pending (as
    // readPending). Returns the number delivered; also returns early when a signal interrupts.
    int poll(int timeoutMs);
    // Delivers the datagrams pending now, without waiting: at most 512 per call, so that a flood
    // cannot hold the caller. Returns the number delivered.
    int readPending();

    bool sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                      std::size_t n) override;
    std::string resolvedAddress(const std::string& host) const override;

    // The address (host byte order) of a dotted text of exactly four decimal parts 0..255.
    static std::optional<std::uint32_t> parseDottedQuad(const std::string& host);
    // The system resolver: the first IPv4 address of the name.
    static std::optional<std::uint32_t> resolveWithSystem(const std::string& host);
    static std::string dottedText(std::uint32_t address);

    // A host name's lookup as the sockets keep it: a found address for good, a failure for
    // kRetryFailedLookupMs, after which the name is looked up again.
    struct NameLookup {
        std::optional<std::uint32_t> address;
        std::int64_t answeredAtMs = 0;
        void answer(std::optional<std::uint32_t> found);
        // Whether the answer still holds (else the name is to be looked up again).
        bool holds() const;
    };

private:
    std::optional<std::uint32_t> addressOf(const std::string& host);

    int m_fd = -1;
    int m_port = 0;
    Receiver m_receiver;
    Resolver m_resolver;
    std::map<std::string, NameLookup> m_lookups;
};

} // namespace ondel
