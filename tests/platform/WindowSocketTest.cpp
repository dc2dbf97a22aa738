// The window's socket: host names are looked up on another thread while the GUI thread goes on,
// replies arrive through the event loop, and the socket comes back on its port after a close.
#include "platform/WindowSocket.h"
#include "PlatformTestSupport.h"

#include <QNetworkDatagram>
#include <QThreadPool>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

using namespace ondel;
using ondel::test::app;
using ondel::test::waitFor;

namespace {

constexpr std::uint32_t kLoopback = 0x7f000001;
const std::uint8_t kPing[] = {'p', 'i', 'n', 'g'};

struct Peer {
    QUdpSocket socket;
    Peer() { socket.bind(QHostAddress::LocalHost, 0); }
    int port() const { return socket.localPort(); }
    bool received() {
        return waitFor([&] { return socket.hasPendingDatagrams(); }) &&
               socket.receiveDatagram().data() == QByteArray("ping");
    }
};

} // namespace

TEST(WindowSocket, NamesAreLookedUpOffTheGuiThreadAndUsedOnceAnswered) {
    app();
    WindowSocket socket;
    ASSERT_TRUE(socket.openFirstFree(0, 1));
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls = 0;
    std::atomic<bool> onGuiThread = false;
    const std::thread::id gui = std::this_thread::get_id();
    socket.setResolver([&, released](const std::string& host) -> std::optional<std::uint32_t> {
        ++calls;
        onGuiThread = std::this_thread::get_id() == gui;
        released.wait(); // a slow name server: the GUI thread must not wait for it
        return host == "game.example" ? std::optional<std::uint32_t>(kLoopback) : std::nullopt;
    });
    Peer peer;
    // While the lookup runs, sends to the name report failure at once, and it is asked once.
    EXPECT_FALSE(socket.sendDatagram("game.example", peer.port(), kPing, sizeof kPing));
    EXPECT_FALSE(socket.sendDatagram("game.example", peer.port(), kPing, sizeof kPing));
    EXPECT_EQ(socket.resolvedAddress("game.example"), "");
    // Dotted text needs no lookup.
    EXPECT_TRUE(socket.sendDatagram("127.0.0.1", peer.port(), kPing, sizeof kPing));
    EXPECT_TRUE(peer.received());
    release.set_value();
    ASSERT_TRUE(waitFor([&] { return socket.resolvedAddress("game.example") == "127.0.0.1"; }));
    EXPECT_TRUE(socket.sendDatagram("game.example", peer.port(), kPing, sizeof kPing));
    EXPECT_TRUE(peer.received());
    EXPECT_EQ(calls.load(), 1);
    EXPECT_FALSE(onGuiThread.load());

    // A name that cannot be resolved is not asked again at once.
    EXPECT_FALSE(socket.sendDatagram("nowhere.example", peer.port(), kPing, sizeof kPing));
    ASSERT_TRUE(waitFor([&] { return calls.load() == 2; }));
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_FALSE(socket.sendDatagram("nowhere.example", peer.port(), kPing, sizeof kPing));
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(calls.load(), 2);
}

TEST(WindowSocket, RepliesArriveThroughTheEventLoopAlsoAfterAReopen) {
    app();
    WindowSocket socket;
    ASSERT_TRUE(socket.openFirstFree(0, 1));
    const int port = socket.localPort();
    int got = 0;
    socket.setReceiver([&](const std::uint8_t*, std::size_t n, const std::string& host, int) {
        if (n == 4 && host == "127.0.0.1")
            ++got;
    });
    Peer peer;
    auto reply = [&] {
        peer.socket.writeDatagram(QByteArray("pong"), QHostAddress::LocalHost,
                                  static_cast<quint16>(port));
    };
    reply();
    ASSERT_TRUE(waitFor([&] { return got == 1; }));
    // As around a game: closed, nothing is sent; opened again on the same port.
    socket.close();
    EXPECT_FALSE(socket.sendDatagram("127.0.0.1", peer.port(), kPing, sizeof kPing));
    ASSERT_TRUE(socket.reopen());
    EXPECT_EQ(socket.localPort(), port);
    reply();
    EXPECT_TRUE(waitFor([&] { return got == 2; }));
}
