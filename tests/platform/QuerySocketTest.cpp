#include "platform/QuerySocket.h"
#include "PlatformTestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace ondel;
using ondel::test::app;
using ondel::test::waitFor;

namespace {

bool portIsFree(std::uint16_t port) {
    QUdpSocket probe;
    return probe.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress);
}

// A run of count free ports, looked for high up where nothing of the program runs.
std::uint16_t freePortRun(int count) {
    for (int base = 47000; base < 60000; base += 37) {
        bool free = true;
        for (int i = 0; i < count && free; ++i)
            free = portIsFree(static_cast<std::uint16_t>(base + i));
        if (free)
            return static_cast<std::uint16_t>(base);
    }
    return 0;
}

struct Received {
    std::vector<std::uint8_t> bytes;
    std::string host;
    int port;
};

class QuerySocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(socket.open(0));
        socket.setReceiver(
            [this](const std::uint8_t* d, std::size_t n, const std::string& h, int p) {
                received.push_back({std::vector<std::uint8_t>(d, d + n), h, p});
            });
        ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    }
    void sendFromPeer(const QByteArray& bytes) {
        peer.writeDatagram(bytes, QHostAddress::LocalHost,
                           static_cast<quint16>(socket.localPort()));
    }

    QuerySocket socket;
    QUdpSocket peer;
    std::vector<Received> received;
};
} // namespace

TEST(QuerySocketPorts, TakesThePortAfterTwoHeldOnes) {
    app();
    // Other programs hold 7130 and 7131 (some with address sharing switched on, which must not
    // let this socket in). When something outside this test already holds them, they are held
    // all the same.
    QUdpSocket first, second;
    first.bind(QHostAddress::AnyIPv4, 7130,
               QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
    second.bind(QHostAddress::AnyIPv4, 7131, QAbstractSocket::DontShareAddress);
    if (!portIsFree(7132))
        GTEST_SKIP() << "port 7132 is in use on this machine";
    QuerySocket socket;
    ASSERT_TRUE(socket.openFirstFree());
    EXPECT_EQ(socket.localPort(), 7132);
}

TEST(QuerySocketPorts, ASecondCopyGetsTheNextPortAndNoneIsLeftAtTheEnd) {
    app();
    std::uint16_t base = freePortRun(3);
    ASSERT_NE(base, 0);
    QuerySocket a, b, c, d;
    ASSERT_TRUE(a.openFirstFree(base, 3));
    ASSERT_TRUE(b.openFirstFree(base, 3));
    ASSERT_TRUE(c.openFirstFree(base, 3));
    EXPECT_EQ(a.localPort(), base);
    EXPECT_EQ(b.localPort(), base + 1);
    EXPECT_EQ(c.localPort(), base + 2);
    EXPECT_FALSE(d.openFirstFree(base, 3));
    EXPECT_FALSE(d.isOpen());
    EXPECT_FALSE(d.sendDatagram("127.0.0.1", base, reinterpret_cast<const std::uint8_t*>("x"), 1));
}

TEST_F(QuerySocketTest, EveryPendingDatagramIsDeliveredOnce) {
    for (int i = 0; i < 20; ++i)
        sendFromPeer(QByteArray("\xFF\xFF\xFF\xFFj") + QByteArray::number(i));
    ASSERT_TRUE(waitFor([&] { return received.size() >= 20; }));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(std::string(received[static_cast<std::size_t>(i)].bytes.begin() + 5,
                              received[static_cast<std::size_t>(i)].bytes.end()),
                  std::to_string(i));
        EXPECT_EQ(received[static_cast<std::size_t>(i)].host, "127.0.0.1");
        EXPECT_EQ(received[static_cast<std::size_t>(i)].port, peer.localPort());
    }
}

TEST_F(QuerySocketTest, DatagramsOver2048BytesAreDropped) {
    sendFromPeer(QByteArray(3000, 'a'));
    sendFromPeer(QByteArray(2049, 'b'));
    sendFromPeer(QByteArray(2048, 'c'));
    ASSERT_TRUE(waitFor([&] { return !received.empty(); }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes.size(), 2048u);
    EXPECT_EQ(received[0].bytes[0], 'c');
}

TEST_F(QuerySocketTest, SendsToDottedTextAtOnceAndToNamesOnceResolved) {
    const std::uint8_t data[] = {0xFF, 0xFF, 0xFF, 0xFF, 'p', 'i', 'n', 'g', 0};
    EXPECT_TRUE(socket.sendDatagram("127.0.0.1", peer.localPort(), data, sizeof data));
    ASSERT_TRUE(waitFor([&] { return peer.hasPendingDatagrams(); }));
    QByteArray got(64, 0);
    EXPECT_EQ(peer.readDatagram(got.data(), got.size()), 9);

    // A name is looked up first; until then nothing goes out.
    EXPECT_FALSE(socket.sendDatagram("localhost", peer.localPort(), data, sizeof data));
    EXPECT_EQ(socket.resolvedAddress("localhost"), "");
    ASSERT_TRUE(waitFor([&] { return !socket.resolvedAddress("localhost").empty(); }));
    EXPECT_EQ(socket.resolvedAddress("localhost"), "127.0.0.1");
    EXPECT_EQ(socket.resolvedAddress("127.0.0.1"), ""); // dotted text is never a name
    EXPECT_TRUE(socket.sendDatagram("localhost", peer.localPort(), data, sizeof data));
    ASSERT_TRUE(waitFor([&] { return peer.hasPendingDatagrams(); }));

    EXPECT_FALSE(socket.sendDatagram("127.0.0.1", 0, data, sizeof data));
    // Short and odd dotted forms are not sent anywhere (a system parser would read 127.1 as
    // 127.0.0.1).
    EXPECT_FALSE(socket.sendDatagram("127.1", peer.localPort(), data, sizeof data));
    EXPECT_FALSE(socket.sendDatagram("127.0.0.256", peer.localPort(), data, sizeof data));
}

TEST(QuerySocketAddress, DottedQuadsAreReadAsFourDecimalParts) {
    struct Case {
        const char* text;
        std::optional<quint32> value;
    } cases[] = {
        {"127.0.0.1", 0x7F000001u}, {"010.0.0.1", 0x0A000001u},  {"255.255.255.255", 0xFFFFFFFFu},
        {"127.1", std::nullopt},    {"1.2.3.4.5", std::nullopt}, {"1.2.3.256", std::nullopt},
        {"1..2.3", std::nullopt},   {"1.2.3.", std::nullopt},    {"0001.2.3.4", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuerySocket::parseDottedQuad(c.text), c.value) << c.text;
}

TEST_F(QuerySocketTest, ReopensOnTheSamePortAfterClose) {
    int port = socket.localPort();
    socket.close();
    EXPECT_FALSE(socket.isOpen());
    ASSERT_TRUE(socket.reopen());
    EXPECT_EQ(socket.localPort(), port);
    sendFromPeer("\xFF\xFF\xFF\xFFj");
    ASSERT_TRUE(waitFor([&] { return received.size() == 1; }));
}

TEST_F(QuerySocketTest, TheReceiverMayCloseTheSocket) {
    socket.setReceiver([this](const std::uint8_t*, std::size_t, const std::string&, int) {
        received.push_back({});
        socket.close();
    });
    for (int i = 0; i < 5; ++i)
        sendFromPeer("\xFF\xFF\xFF\xFFj");
    ASSERT_TRUE(waitFor([&] { return !received.empty(); }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(received.size(), 1u);
}
