#include "PosixSocketNotifier.h"

#include "platform/posix/PosixUdpSocket.h"

#include <QSocketNotifier>

namespace ondel {

PosixSocketNotifier::PosixSocketNotifier(PosixUdpSocket& socket, QObject* parent)
    : QObject(parent), m_socket(socket) {
    follow();
}

PosixSocketNotifier::~PosixSocketNotifier() = default;

void PosixSocketNotifier::follow() {
    if (m_notifier && m_watchedFd == m_socket.fd())
        return;
    if (m_notifier) {
        // May be called from the receiver, that is from inside the notifier's own signal.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_watchedFd = m_socket.fd();
    if (m_watchedFd < 0)
        return;
    m_notifier =
        new QSocketNotifier(static_cast<qintptr>(m_watchedFd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PosixSocketNotifier::onReadable);
}

void PosixSocketNotifier::onReadable() {
    m_socket.readPending();
    // The receiver may have closed (or reopened) the socket: stop watching a stale descriptor.
    if (m_socket.fd() != m_watchedFd)
        follow();
}

} // namespace ondel
