#pragma once

#include "platform/posix/PosixUdpSocket.h"
#include "query/DatagramSender.h"
#include "query/SocketControl.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace ondel {

class PosixSocketNotifier;

// The window program's UDP socket: the POSIX socket, driven by the Qt event loop (every
// datagram that arrives goes to the receiver), with host names looked up off the GUI thread.
// Sending to a dotted IPv4 text goes straight out. A host name is handed to a worker thread the
// first time it is used; until its answer is in, sends to it report failure and send nothing, as
// for a name that cannot be resolved. A failed lookup is tried again after
// kRetryFailedLookupMs.
//
// GUI thread only (the lookups run elsewhere and leave their answers for it). The receiver must
// stay callable while the socket is open.
class WindowSocket : public QObject, public DatagramSender, public SocketControl {
    Q_OBJECT
public:
    static constexpr std::int64_t kRetryFailedLookupMs = PosixUdpSocket::kRetryFailedLookupMs;

    using Receiver = PosixUdpSocket::Receiver;
    // Runs on a worker thread: host text to IPv4 address (host byte order), or nothing.
    using Resolver = PosixUdpSocket::Resolver;

    explicit WindowSocket(QObject* parent = nullptr);
    ~WindowSocket() override;

    // Binds to the first free port of first .. first + count - 1; false when none is free.
    bool openFirstFree(std::uint16_t first = PosixUdpSocket::kFirstPort,
                       int count = PosixUdpSocket::kPortCount);
    bool isOpen() const { return m_socket.isOpen(); }

    int localPort() const override { return m_socket.localPort(); }
    void close() override;
    bool reopen() override;

    void setReceiver(Receiver receiver) { m_socket.setReceiver(std::move(receiver)); }
    // Replaces the system resolver (tests); it is called on a worker thread.
    void setResolver(Resolver resolver) { m_resolver = std::move(resolver); }

    bool sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                      std::size_t n) override;
    std::string resolvedAddress(const std::string& host) const override;

private:
    struct Lookups;
    // The address of a host name when its lookup has answered; starts the lookup otherwise.
    std::optional<std::uint32_t> addressOf(const std::string& host);

    PosixUdpSocket m_socket;
    PosixSocketNotifier* m_notifier = nullptr;
    Resolver m_resolver;
    // Shared with the lookups still running, which may outlast the socket.
    std::shared_ptr<Lookups> m_lookups;
};

} // namespace ondel
