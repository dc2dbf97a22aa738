#include "query/DatagramRouter.h"

#include "common/ByteReader.h"
#include "query/DatagramSender.h"
#include "query/QueryProtocol.h"
#include "serverlist/TargetAddress.h"

#include <limits>
#include <vector>

namespace ondel {

DatagramRouter::DatagramRouter(DatagramSender& sender, QueryBudget* budget)
    : m_sender(sender), m_budget(budget) {}

std::size_t DatagramRouter::recentSends(const ServerAddress& to) const {
    return m_budget ? m_budget->used(to) : 0;
}

void DatagramRouter::addSaturating(std::int32_t& counter, std::size_t n) {
    constexpr auto max = std::numeric_limits<std::int32_t>::max();
    if (n >= static_cast<std::size_t>(max - counter))
        counter = max;
    else
        counter += static_cast<std::int32_t>(n);
}

DatagramRouter::SendStatus DatagramRouter::send(const ServerAddress& to, const std::uint8_t* data,
                                                std::size_t n, Traffic traffic) {
    // Broadcast, multicast and the like are never asked (targetRefusal).
    if (to.host.empty() || to.port == 0 || !targetRefusal(to).empty())
        return SendStatus::Failed;
    if (m_refused && m_refused(to))
        return SendStatus::Failed;
    if (m_budget && !m_budget->spend(to, traffic)) {
        ++m_sendsHeld;
        return SendStatus::Held;
    }
    if (!m_sender.sendDatagram(to.host, to.port, data, n))
        return SendStatus::Failed;
    addSaturating(m_sentBytes, n);
    ++m_packetsSent;
    return SendStatus::Sent;
}

DatagramRouter::WatchId DatagramRouter::watch(const ServerAddress& server, Handler handler) {
    WatchId id = m_nextId++;
    m_watchers.emplace(id, std::make_pair(server, std::move(handler)));
    return id;
}

void DatagramRouter::unwatch(WatchId id) {
    m_watchers.erase(id);
}

bool DatagramRouter::isFrom(const ServerAddress& server, const std::string& senderHost,
                            int senderPort) const {
    if (senderPort != server.port || server.host.empty())
        return false;
    if (senderHost == server.host)
        return true;
    // A host typed as a name answers from the address it resolved to.
    if (isDottedText(server.host))
        return false;
    std::string resolved = m_sender.resolvedAddress(server.host);
    return !resolved.empty() && resolved == senderHost;
}

void DatagramRouter::onDatagram(const std::uint8_t* data, std::size_t n,
                                const std::string& senderHost, int senderPort) {
    addSaturating(m_receivedBytes, n);
    ++m_packetsReceived;
    ByteReader in(data, n);
    std::uint32_t header = in.u32();
    if (!in.ok() || (header != protocol::kOutOfBand && header != protocol::kSplit))
        return;
    // Handlers may watch or unwatch while they run: the ids are taken first, and each one is
    // looked up again before its delivery.
    std::vector<WatchId> ids;
    for (const auto& [id, watcher] : m_watchers)
        if (isFrom(watcher.first, senderHost, senderPort))
            ids.push_back(id);
    for (WatchId id : ids) {
        auto it = m_watchers.find(id);
        if (it == m_watchers.end())
            continue;
        Handler handler = it->second.second; // a copy: the watcher may go during the call
        handler(data, n);
    }
}

void DatagramRouter::rollCounters() {
    m_sentPerSecond = m_sentBytes;
    m_receivedPerSecond = m_receivedBytes;
    m_sentBytes = 0;
    m_receivedBytes = 0;
}

} // namespace ondel
