#pragma once

#include "query/QueryBudget.h"
#include "serverlist/ServerAddress.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace ondel {

class DatagramSender;

// The one socket as the query side uses it: every datagram sent to a server and every datagram
// received passes here. Sends are counted in bytes and, when a QueryBudget is attached, held to
// it (RCON first, queries give way). Each received datagram is counted, and one whose header is
// FF FF FF FF (whole) or FE FF FF FF (a fragment) goes to every watcher of its sender.
//
// A watcher names a server as typed. A reply matches when the sender's port is the server's and
// the sender's dotted text equals the host text byte for byte; for a host typed as a name, the
// address it resolved to (DatagramSender::resolvedAddress) counts instead. Dotted text is
// compared as typed, so 010.0.0.1 never matches a reply from 10.0.0.1.
//
// Holds references to the sender and the budget (optional), which must outlive it. Handlers may
// watch and unwatch from inside a delivery. Not thread-safe: GUI thread (or ondel-cli's thread).
class DatagramRouter {
public:
    using Traffic = QueryBudget::Traffic;
    using Handler = std::function<void(const std::uint8_t* data, std::size_t n)>;
    using WatchId = std::uint64_t;

    enum class SendStatus {
        Sent,   // the platform reports the datagram sent
        Held,   // the budget has no room for it now; nothing was sent
        Failed, // no usable address, not resolved (yet), or the platform refused it
    };

    explicit DatagramRouter(DatagramSender& sender, QueryBudget* budget = nullptr);

    // Sends one datagram to the server. Counts its length when sent.
    SendStatus send(const ServerAddress& to, const std::uint8_t* data, std::size_t n,
                    Traffic traffic);

    // Delivers datagrams from server to handler until unwatch(). Several watchers of one server
    // each get every datagram, in the order they started watching.
    WatchId watch(const ServerAddress& server, Handler handler);
    void unwatch(WatchId id);

    // One received datagram with the sender's dotted IPv4 text and port.
    void onDatagram(const std::uint8_t* data, std::size_t n, const std::string& senderHost,
                    int senderPort);

    // Whether a datagram from senderHost:senderPort comes from the server as typed.
    bool isFrom(const ServerAddress& server, const std::string& senderHost, int senderPort) const;

    // Moves the bytes counted since the last roll into the per-second values (called once a
    // second by the monitor's cycle).
    void rollCounters();
    std::int32_t sentPerSecond() const { return m_sentPerSecond; }
    std::int32_t receivedPerSecond() const { return m_receivedPerSecond; }

    // Packets sent to the server within the budget's window (60 s); 0 without a budget.
    std::size_t recentSends(const ServerAddress& to) const;
    // Totals since the router was made: datagrams sent and received, sends the budget held.
    std::uint64_t packetsSent() const { return m_packetsSent; }
    std::uint64_t packetsReceived() const { return m_packetsReceived; }
    std::uint64_t sendsHeld() const { return m_sendsHeld; }

    // Servers the user will not have asked (the blocklist): refused says why (the blocking entry)
    // or nothing. A send to such a server fails without a packet, whoever asks.
    using Refusal = std::function<std::optional<std::string>(const ServerAddress&)>;
    void setRefusal(Refusal refused) { m_refused = std::move(refused); }

private:
    static void addSaturating(std::int32_t& counter, std::size_t n);

    DatagramSender& m_sender;
    QueryBudget* m_budget;
    Refusal m_refused;
    std::map<WatchId, std::pair<ServerAddress, Handler>> m_watchers;
    WatchId m_nextId = 1;
    std::int32_t m_sentBytes = 0;
    std::int32_t m_receivedBytes = 0;
    std::int32_t m_sentPerSecond = 0;
    std::int32_t m_receivedPerSecond = 0;
    std::uint64_t m_packetsSent = 0;
    std::uint64_t m_packetsReceived = 0;
    std::uint64_t m_sendsHeld = 0;
};

} // namespace ondel
