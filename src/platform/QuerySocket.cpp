#include "QuerySocket.h"

#include "platform/posix/FirstFreePort.h"
#include "serverlist/ServerAddress.h"

#include <QHostInfo>
#include <QUdpSocket>

#include <chrono>

namespace ondel {

namespace {
qint64 monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

std::optional<quint32> QuerySocket::parseDottedQuad(const std::string& host) {
    // Exactly four decimal parts of 0..255. Shorter forms ("1.2.3") and octal or hex parts,
    // which the system's parsers would take, are refused: the text is meant as typed.
    quint32 value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned part = 0;
        while (i < host.size() && host[i] >= '0' && host[i] <= '9' && digits < 4) {
            part = part * 10 + static_cast<unsigned>(host[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || part > 255)
            return std::nullopt;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= host.size() || host[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != host.size())
        return std::nullopt;
    return value;
}

QuerySocket::QuerySocket(QObject* parent) : QObject(parent) {}

QuerySocket::~QuerySocket() {
    close();
}

bool QuerySocket::open(std::uint16_t port) {
    close();
    m_port = port;
    auto* socket = new QUdpSocket(this);
    // DontShareAddress alone: no SO_REUSEADDR, so a second copy of the program (or anyone else
    // holding the port) makes this bind fail and start-up moves on to the next port.
    if (!socket->bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress)) {
        delete socket;
        return false;
    }
    if (port == 0)
        m_port = socket->localPort();
    connect(socket, &QUdpSocket::readyRead, this, &QuerySocket::readPending);
    m_socket = socket;
    return true;
}

bool QuerySocket::openFirstFree(std::uint16_t first, int count) {
    return openFirstFreePort(first, count, [this](std::uint16_t port) { return open(port); });
}

bool QuerySocket::reopen() {
    return open(static_cast<std::uint16_t>(m_port));
}

void QuerySocket::close() {
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->close();
    // May be called from the receiver, that is from inside the socket's own signal.
    m_socket->deleteLater();
    m_socket = nullptr;
}

bool QuerySocket::isOpen() const {
    return m_socket != nullptr;
}

void QuerySocket::readPending() {
    // One readyRead may stand for several datagrams: take them all, one receiver call each.
    char buffer[kMaxDatagram + 1];
    while (m_socket && m_socket->hasPendingDatagrams()) {
        QHostAddress from;
        quint16 fromPort = 0;
        qint64 got = m_socket->readDatagram(buffer, sizeof buffer, &from, &fromPort);
        if (got < 0)
            break;
        // A datagram longer than the buffer arrives cut short: it is dropped, not parsed.
        if (got == 0 || got > kMaxDatagram)
            continue;
        bool isIpv4 = false;
        quint32 ipv4 = from.toIPv4Address(&isIpv4);
        if (!isIpv4 || !m_receiver)
            continue;
        std::string host = QHostAddress(ipv4).toString().toStdString();
        m_receiver(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(got),
                   host, fromPort);
    }
}

void QuerySocket::startLookup(const std::string& host) {
    m_lookups[host] = Lookup{};
    QHostInfo::lookupHost(QString::fromStdString(host), this, [this, host](const QHostInfo& info) {
        Lookup& lookup = m_lookups[host];
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                lookup.state = Lookup::State::Resolved;
                lookup.address = a;
                return;
            }
        }
        lookup.state = Lookup::State::Failed;
        lookup.failedAtMs = monotonicMs();
    });
}

bool QuerySocket::sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                               std::size_t n) {
    if (!m_socket || port <= 0 || port > 65535 || host.empty())
        return false;
    QHostAddress address;
    if (isDottedText(host)) {
        auto ipv4 = parseDottedQuad(host);
        if (!ipv4)
            return false;
        address = QHostAddress(*ipv4);
    } else {
        auto it = m_lookups.find(host);
        if (it == m_lookups.end()) {
            startLookup(host);
            return false;
        }
        const Lookup& lookup = it->second;
        if (lookup.state == Lookup::State::Failed &&
            monotonicMs() - lookup.failedAtMs >= kRetryFailedLookupMs)
            startLookup(host);
        if (lookup.state != Lookup::State::Resolved)
            return false;
        address = lookup.address;
    }
    qint64 sent =
        m_socket->writeDatagram(reinterpret_cast<const char*>(data), static_cast<qint64>(n),
                                address, static_cast<quint16>(port));
    return sent > 0;
}

std::string QuerySocket::resolvedAddress(const std::string& host) const {
    if (isDottedText(host))
        return {};
    auto it = m_lookups.find(host);
    if (it == m_lookups.end() || it->second.state != Lookup::State::Resolved)
        return {};
    return it->second.address.toString().toStdString();
}

} // namespace ondel
