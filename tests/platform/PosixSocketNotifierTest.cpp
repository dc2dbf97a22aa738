// The Qt event loop driving the Qt-free socket: every datagram of a burst arrives, and a socket
// closed and reopened from the receiver is followed.
#include "platform/PosixSocketNotifier.h"
#include "PlatformTestSupport.h"
#include "platform/posix/PosixUdpSocket.h"

#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace ondel;
using ondel::test::app;
using ondel::test::waitFor;

TEST(PosixSocketNotifier, EventLoopDeliversEveryDatagramAndFollowsAReopenedSocket) {
    app();
    PosixUdpSocket socket;
    ASSERT_TRUE(socket.open(0));
    PosixSocketNotifier notifier(socket);
    int got = 0;
    socket.setReceiver([&](const std::uint8_t*, std::size_t, const std::string&, int) {
        if (++got == 20) {
            // As the launcher does around a game: the socket goes and comes back on its port.
            socket.close();
            socket.reopen();
            notifier.follow();
        }
    });
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    auto burst = [&](int n) {
        for (int i = 0; i < n; ++i)
            peer.writeDatagram(QByteArray(12, 'x'), QHostAddress::LocalHost,
                               static_cast<quint16>(socket.localPort()));
    };
    burst(20);
    ASSERT_TRUE(waitFor([&] { return got == 20; })) << got;
    ASSERT_TRUE(socket.isOpen());
    burst(5);
    EXPECT_TRUE(waitFor([&] { return got == 25; })) << got;
}
