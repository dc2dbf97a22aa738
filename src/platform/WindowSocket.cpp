#include "WindowSocket.h"

#include "PosixSocketNotifier.h"
#include "serverlist/ServerAddress.h"

#include <QThreadPool>

#include <mutex>

namespace ondel {

struct WindowSocket::Lookups {
    struct Entry {
        bool pending = true;
        PosixUdpSocket::NameLookup lookup;
    };
    mutable std::mutex mutex;
    std::map<std::string, Entry> entries;
};

WindowSocket::WindowSocket(QObject* parent)
    : QObject(parent), m_resolver(&PosixUdpSocket::resolveWithSystem),
      m_lookups(std::make_shared<Lookups>()) {
    m_notifier = new PosixSocketNotifier(m_socket, this);
}

WindowSocket::~WindowSocket() = default;

bool WindowSocket::openFirstFree(std::uint16_t first, int count) {
    const bool opened = m_socket.openFirstFree(first, count);
    m_notifier->follow();
    return opened;
}

void WindowSocket::close() {
    m_socket.close();
    m_notifier->follow();
}

bool WindowSocket::reopen() {
    const bool opened = m_socket.reopen();
    m_notifier->follow();
    return opened;
}

std::optional<std::uint32_t> WindowSocket::addressOf(const std::string& host) {
    {
        std::lock_guard lock(m_lookups->mutex);
        auto it = m_lookups->entries.find(host);
        if (it != m_lookups->entries.end()) {
            const Lookups::Entry& e = it->second;
            if (e.pending || e.lookup.holds())
                return e.lookup.address;
        }
        m_lookups->entries[host] = Lookups::Entry{};
    }
    QThreadPool::globalInstance()->start([lookups = m_lookups, resolver = m_resolver, host] {
        std::optional<std::uint32_t> address = resolver ? resolver(host) : std::nullopt;
        std::lock_guard lock(lookups->mutex);
        Lookups::Entry& e = lookups->entries[host];
        e.pending = false;
        e.lookup.answer(address);
    });
    return std::nullopt;
}

bool WindowSocket::sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                                std::size_t n) {
    if (!m_socket.isOpen())
        return false;
    if (isDottedText(host))
        return m_socket.sendDatagram(host, port, data, n);
    const std::optional<std::uint32_t> address = addressOf(host);
    if (!address)
        return false;
    return m_socket.sendDatagram(PosixUdpSocket::dottedText(*address), port, data, n);
}

std::string WindowSocket::resolvedAddress(const std::string& host) const {
    if (isDottedText(host))
        return {};
    std::lock_guard lock(m_lookups->mutex);
    auto it = m_lookups->entries.find(host);
    if (it == m_lookups->entries.end() || !it->second.lookup.address)
        return {};
    return PosixUdpSocket::dottedText(*it->second.lookup.address);
}

} // namespace ondel
