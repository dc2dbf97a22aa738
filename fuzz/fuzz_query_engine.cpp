// The whole query engine fed a sequence of commands (the low three bits of a command byte):
//   0     request cycle after moving the clock on by (next byte) * 20 ms
//   1..3  a datagram (16-bit length, bytes) from the current server
//   4     the same datagram from another port (must be counted and dropped)
//   5     the current server chosen again (clears the awaited slots)
//   6     the print handler set or cleared
//   7     an out-of-band text sent (16-bit length, bytes)
// No crash, no undefined behaviour; the server keeps its address, printed text never holds a
// NUL byte, reply counts never go down, and a reply is taken only while its kind is awaited.
#include "FuzzCheck.h"
#include "FuzzInput.h"

#include "common/Clock.h"
#include "query/DatagramSender.h"
#include "query/QueryEngine.h"
#include "serverlist/ServerListSet.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace ondel;

namespace {

class FuzzClock : public Clock {
public:
    std::uint32_t tickMs() const override { return tick; }
    std::int64_t nowMs1601() const override { return 13'000'000'000'000LL + tick; }
    std::uint32_t tick = 0xFFFF0000u; // the counter wraps during a long input
};

class FuzzSender : public DatagramSender {
public:
    bool sendDatagram(const std::string& host, int port, const std::uint8_t* data,
                      std::size_t n) override {
        FUZZ_CHECK(host == "10.0.0.1" && port == 27015);
        FUZZ_CHECK(n >= 5 && n <= 1024);
        FUZZ_CHECK(data[0] == 0xFF && data[1] == 0xFF && data[2] == 0xFF && data[3] == 0xFF);
        ++sent;
        return true;
    }
    std::uint64_t sent = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzClock clock;
    FuzzSender sender;
    ServerListSet lists;
    lists.append(ServerList("/data/serverlist.sl06", "/data/serverlist.sl06", "Custom"));
    ServerEntry server;
    server.address = {"10.0.0.1", 27015};
    lists.at(0).storeEntry(server);
    QueryEngine engine(clock, sender, lists);
    engine.setCurrentServer(server);

    std::uint64_t printed = 0;
    auto handler = [&](std::string_view text) {
        FUZZ_CHECK(text.find('\0') == std::string_view::npos);
        ++printed;
    };
    bool handlerSet = false;
    QueryEngine::ReplyCounts last;

    FuzzInput in(data, size);
    while (!in.empty()) {
        std::uint8_t op = in.byte() & 7;
        switch (op) {
        case 0:
            clock.tick += in.byte() * 20u;
            engine.queryTick();
            break;
        case 1:
        case 2:
        case 3:
        case 4: {
            auto d = in.sizedBlock();
            bool awaitedInfo = engine.awaitingSince(QueryEngine::kSlotDetails) != 0;
            bool awaitedPlayers = engine.awaitingSince(QueryEngine::kSlotPlayers) != 0;
            bool awaitedRules = engine.awaitingSince(QueryEngine::kSlotRules) != 0;
            auto before = engine.replyCounts();
            engine.onDatagram(d.data(), d.size(), "10.0.0.1", op == 4 ? 27016 : 27015);
            const auto& now = engine.replyCounts();
            if (op == 4) {
                FUZZ_CHECK(now.info == before.info && now.rules == before.rules &&
                           now.players == before.players && now.ping == before.ping);
            }
            // One datagram answers at most one request, and only an awaited one.
            FUZZ_CHECK(now.info - before.info <= (awaitedInfo ? 1u : 0u));
            FUZZ_CHECK(now.players - before.players <= (awaitedPlayers ? 1u : 0u));
            FUZZ_CHECK(now.rules - before.rules <= (awaitedRules ? 1u : 0u));
            break;
        }
        case 5:
            engine.setCurrentServer(engine.currentServer());
            for (int slot = 0; slot < QueryEngine::kSlotCount; ++slot)
                FUZZ_CHECK(engine.awaitingSince(slot) == 0);
            break;
        case 6:
            if (handlerSet)
                engine.clearPrintHandler();
            else
                engine.setPrintHandler(handler);
            handlerSet = !handlerSet;
            break;
        case 7: {
            auto b = in.sizedBlock();
            std::string_view text(reinterpret_cast<const char*>(b.data()), b.size());
            bool sent = engine.sendOutOfBand(text);
            FUZZ_CHECK(sent == (b.size() <= QueryEngine::kMaxOutOfBandText));
            break;
        }
        }
        const auto& counts = engine.replyCounts();
        FUZZ_CHECK(counts.info >= last.info && counts.rules >= last.rules &&
                   counts.players >= last.players && counts.ping >= last.ping);
        last = counts;
        FUZZ_CHECK(engine.currentServer().address == server.address);
        FUZZ_CHECK(engine.sentPerSecond() >= 0 && engine.receivedPerSecond() >= 0);
    }
    (void)printed;
    return 0;
}
