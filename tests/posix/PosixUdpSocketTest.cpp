// The Qt-free socket against plain loopback peers: exclusive ports, draining, the size limit,
// and the name cache.
#include "platform/posix/PosixUdpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ondel;

namespace {

// A raw UDP socket on 127.0.0.1 for the other side.
struct Peer {
    explicit Peer(std::uint16_t wanted = 0, bool reuse = false) {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        int on = 1;
        if (reuse)
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(wanted == 0 ? INADDR_LOOPBACK : INADDR_ANY);
        a.sin_port = htons(wanted);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        socklen_t n = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
    }
    ~Peer() { ::close(fd); }
    void sendTo(int toPort, std::size_t size, std::uint8_t fill) const {
        std::vector<std::uint8_t> bytes(size, fill);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(toPort));
        ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    std::size_t receive() const {
        std::uint8_t buffer[4096];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        return n < 0 ? 0 : static_cast<std::size_t>(n);
    }
    int fd = -1;
    int port = 0;
    bool bound = false;
};

struct Received {
    std::size_t size;
    std::uint8_t first;
    std::string host;
    int port;
};

std::uint16_t freePortRun(int count) {
    for (int base = 48100; base < 60000; base += 41) {
        bool free = true;
        for (int i = 0; i < count && free; ++i)
            free = Peer(static_cast<std::uint16_t>(base + i)).bound;
        if (free)
            return static_cast<std::uint16_t>(base);
    }
    return 0;
}

} // namespace

TEST(PosixUdpSocket, TakesTheFirstPortNobodyHoldsEvenWithAddressReuse) {
    std::uint16_t base = freePortRun(3);
    ASSERT_NE(base, 0);
    Peer sharing(base, true); // SO_REUSEADDR on the holder must not let us in
    Peer plain(static_cast<std::uint16_t>(base + 1));
    ASSERT_TRUE(sharing.bound && plain.bound);
    PosixUdpSocket socket;
    ASSERT_TRUE(socket.openFirstFree(base, 3));
    EXPECT_EQ(socket.localPort(), base + 2);
    PosixUdpSocket second;
    EXPECT_FALSE(second.openFirstFree(base, 3));
}

TEST(PosixUdpSocket, OneReadTakesEveryPendingDatagramAndDropsOversizedOnes) {
    PosixUdpSocket socket;
    ASSERT_TRUE(socket.open(0));
    std::vector<Received> got;
    socket.setReceiver([&](const std::uint8_t* d, std::size_t n, const std::string& h, int p) {
        got.push_back({n, d[0], h, p});
    });
    Peer peer;
    for (std::uint8_t i = 1; i <= 40; ++i)
        peer.sendTo(socket.localPort(), 9, i);
    peer.sendTo(socket.localPort(), PosixUdpSocket::kMaxDatagram + 1, 0xAA);
    peer.sendTo(socket.localPort(), PosixUdpSocket::kMaxDatagram, 0xBB);

    // Loopback delivers at once; one poll drains the lot.
    EXPECT_EQ(socket.poll(2000), 41);
    ASSERT_EQ(got.size(), 41u);
    EXPECT_EQ(got[0].first, 1);
    EXPECT_EQ(got[39].first, 40);
    EXPECT_EQ(got[40].size, PosixUdpSocket::kMaxDatagram);
    EXPECT_EQ(got[40].first, 0xBB);
    EXPECT_EQ(got[0].host, "127.0.0.1");
    EXPECT_EQ(got[0].port, peer.port);
    EXPECT_EQ(socket.readPending(), 0);
}

TEST(PosixUdpSocket, ReceiverMayCloseTheSocket) {
    PosixUdpSocket socket;
    ASSERT_TRUE(socket.open(0));
    int calls = 0;
    socket.setReceiver([&](const std::uint8_t*, std::size_t, const std::string&, int) {
        ++calls;
        socket.close();
    });
    Peer peer;
    peer.sendTo(socket.localPort(), 5, 1);
    peer.sendTo(socket.localPort(), 5, 2);
    EXPECT_EQ(socket.poll(2000), 1);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(socket.isOpen());
}

TEST(PosixUdpSocket, NamesAreResolvedOnceAndFailuresAreNotAskedAgainAtOnce) {
    PosixUdpSocket socket;
    ASSERT_TRUE(socket.open(0));
    Peer peer;
    std::vector<std::string> asked;
    socket.setResolver([&](const std::string& host) -> std::optional<std::uint32_t> {
        asked.push_back(host);
        if (host == "game.test.invalid")
            return INADDR_LOOPBACK;
        return std::nullopt;
    });
    const std::uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 'x'};
    EXPECT_EQ(socket.resolvedAddress("game.test.invalid"), "");
    EXPECT_TRUE(socket.sendDatagram("game.test.invalid", peer.port, bytes, sizeof bytes));
    EXPECT_TRUE(socket.sendDatagram("game.test.invalid", peer.port, bytes, sizeof bytes));
    EXPECT_EQ(peer.receive(), sizeof bytes);
    EXPECT_EQ(socket.resolvedAddress("game.test.invalid"), "127.0.0.1");
    EXPECT_FALSE(socket.sendDatagram("gone.test.invalid", peer.port, bytes, sizeof bytes));
    EXPECT_FALSE(socket.sendDatagram("gone.test.invalid", peer.port, bytes, sizeof bytes));
    EXPECT_EQ(asked, (std::vector<std::string>{"game.test.invalid", "gone.test.invalid"}));
    // Dotted text never goes to the resolver, and only four plain decimal parts are taken.
    EXPECT_TRUE(socket.sendDatagram("127.0.0.1", peer.port, bytes, sizeof bytes));
    for (const char* bad : {"127.0.1", "127.0.0.256", "127.0.0.1.", "127..0.1", "0127.0.0.1"})
        EXPECT_FALSE(socket.sendDatagram(bad, peer.port, bytes, sizeof bytes)) << bad;
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_FALSE(socket.sendDatagram("127.0.0.1", 0, bytes, sizeof bytes));
    EXPECT_FALSE(socket.sendDatagram("127.0.0.1", 65536, bytes, sizeof bytes));
}

TEST(PosixUdpSocket, NeverBroadcastsNotEvenToANameThatResolvesToTheBroadcastAddress) {
    PosixUdpSocket socket;
    ASSERT_TRUE(socket.open(0));
    int broadcast = -1;
    socklen_t length = sizeof broadcast;
    ASSERT_EQ(::getsockopt(socket.fd(), SOL_SOCKET, SO_BROADCAST, &broadcast, &length), 0);
    EXPECT_EQ(broadcast, 0);
    socket.setResolver(
        [](const std::string&) -> std::optional<std::uint32_t> { return INADDR_BROADCAST; });
    const std::uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 'x'};
    EXPECT_FALSE(socket.sendDatagram("all.test.invalid", 27015, bytes, sizeof bytes));
    EXPECT_FALSE(socket.sendDatagram("255.255.255.255", 27015, bytes, sizeof bytes));
}

TEST(PosixUdpSocket, OneReadTakesAtMost512SoThatAFloodCannotHoldTheCaller) {
    PosixUdpSocket socket;
    ASSERT_TRUE(socket.open(0));
    int got = 0;
    socket.setReceiver([&](const std::uint8_t*, std::size_t, const std::string&, int) { ++got; });
    Peer peer;
    for (int i = 0; i < 600; ++i)
        peer.sendTo(socket.localPort(), 9, 1);
    EXPECT_EQ(socket.poll(2000), 512);
    EXPECT_EQ(socket.readPending(), 88);
    EXPECT_EQ(got, 600);
}
