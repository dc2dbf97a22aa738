#pragma once

#include <QObject>

class QSocketNotifier;

namespace ondel {

class PosixUdpSocket;

// Lets a Qt event loop drive a PosixUdpSocket: while the socket is open, its descriptor is
// watched and every readable notification drains all pending datagrams into the socket's
// receiver. Call follow() after the socket was opened, closed or reopened; a socket closed from
// inside its receiver is noticed by itself.
//
// Holds a reference to the socket, which must outlive it. GUI thread only.
class PosixSocketNotifier : public QObject {
    Q_OBJECT
public:
    explicit PosixSocketNotifier(PosixUdpSocket& socket, QObject* parent = nullptr);
    ~PosixSocketNotifier() override;

    // Watches the socket's current descriptor (nothing while it is closed).
    void follow();

private:
    void onReadable();

    PosixUdpSocket& m_socket;
    QSocketNotifier* m_notifier = nullptr;
    int m_watchedFd = -1;
};

} // namespace ondel
