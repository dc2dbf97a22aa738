#include "history/HistorySamples.h"

#include "browser/Scan.h"
#include "serverlist/ServerAddress.h"

#include <gtest/gtest.h>

namespace ondel {
namespace {

TEST(HistoryKey, DottedHostsLoseLeadingZerosNamesStayAsTyped) {
    const struct {
        const char* host;
        const char* key;
    } cases[] = {
        {"127.0.0.1", "127.0.0.1:27015"},
        {"010.000.0.001", "10.0.0.1:27015"},
        {"300.1.1.1", "300.1.1.1:27015"},
        {"1.2.3", "1.2.3:27015"},
        {"1..2.3", "1..2.3:27015"},
        {"1.2.3.4.", "1.2.3.4.:27015"},
        {"Game.Example.org", "Game.Example.org:27015"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(historyKey(ServerAddress{c.host, 27015}), c.key) << c.host;
}

TEST(SampleFromScan, AnswerCarriesTheReadValuesATimeoutIsAMiss) {
    ScanResult r;
    r.address = {"127.000.0.1", 27016};
    r.status = ScanResult::Status::Up;
    r.pingMs = 42;
    r.bots = 2;
    r.entry.players = 7;
    r.entry.maxPlayers = 20;
    r.entry.map = "bounce";
    HistorySample s = sampleFromScan(r, 1234);
    EXPECT_EQ(s.server, "127.0.0.1:27016");
    EXPECT_EQ(s.timeMs, 1234);
    EXPECT_TRUE(s.up);
    EXPECT_EQ(s.players, 7);
    EXPECT_EQ(s.bots, 2);
    EXPECT_EQ(s.maxPlayers, 20);
    EXPECT_EQ(s.map, "bounce");
    EXPECT_EQ(s.pingMs, 42);

    r.status = ScanResult::Status::Timeout;
    s = sampleFromScan(r, 99);
    EXPECT_FALSE(s.up);
    EXPECT_EQ(s.map, "");
    EXPECT_EQ(s.timeMs, 99);
}

} // namespace
} // namespace ondel
