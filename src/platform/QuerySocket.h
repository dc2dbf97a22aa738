#pragma once

#include "query/DatagramSender.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

class QUdpSocket;

namespace ondel {

// The one UDP socket of the program: IPv4, bound exclusively to a local port (a second running
// copy cannot share it and takes the next one). Every datagram that arrives goes to the
// receiver, one call per datagram, with the sender's dotted IPv4 text and port; datagrams over
// kMaxDatagram bytes are dropped.
//
// Sending to a dotted IPv4 text goes straight out. Any other host text is looked up
// asynchronously (QHostInfo) the first time it is used and the answer kept per text; until it
// is known, sends to it report failure and send nothing, as for a name that cannot be resolved.
// A failed lookup is tried again after kRetryFailedLookupMs.
//
// Lives on the GUI thread and is used only there. The receiver must stay callable while the
// socket is open.
class QuerySocket : public QObject, public DatagramSender {
    Q_OBJECT
public:
    static constexpr std::uint16_t kFirstPort = 7130;
    static constexpr int kPortCount = 10;
    static constexpr qint64 kMaxDatagram = 2048;
    static constexpr qint64 kRetryFailedLookupMs = 10000;

    using Receiver = std::function<void(const std::uint8_t* data, std::size_t n,
                                        const std::string& senderHost, int senderPort)>;

    explicit QuerySocket(QObject* parent = nullptr);
    ~QuerySocket() override;

    // Binds to port on any local IPv4 interface (port 0: one the system picks). Closes a socket
    // open before. False when the port is taken; the port is remembered either way for reopen().
    bool open(std::uint16_t port);
    // The first port of first .. first + count - 1 that can be bound; false when none.
    bool openFirstFree(std::uint16_t first = kFirstPort, int count = kPortCount);
    // Creates the socket again on the port of the last open() (after the game has run).
    bool reopen();
    void close();
    bool isOpen() const;
    // The port last asked for (the bound port when the system picked one); 0 before any open().
    int localPort() const { return m_port; }

    void setReceiver(Receiver receiver) { m_receiver = std::move(receiver); }

    bool sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                      std::size_t n) override;
    std::string resolvedAddress(const std::string& host) const override;

    // The address of a dotted text of exactly four decimal parts 0..255; nothing otherwise.
    static std::optional<quint32> parseDottedQuad(const std::string& host);

private:
    void readPending();
    void startLookup(const std::string& host);

    struct Lookup {
        enum class State { Pending, Resolved, Failed } state = State::Pending;
        QHostAddress address;
        qint64 failedAtMs = 0;
    };

    QUdpSocket* m_socket = nullptr;
    int m_port = 0;
    Receiver m_receiver;
    std::map<std::string, Lookup> m_lookups;
};

} // namespace ondel
