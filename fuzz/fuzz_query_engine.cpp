// The query layer fed a sequence of commands (the low three bits of a command byte): the
// monitor's engine and a one-time query (as a scan runs one) on one router with the packet
// budget, both watching the same server.
//   0     the clock moved on by (next byte) * 20 ms, then a tick of both
//   1..3  a datagram (16-bit length, bytes) from the server
//   4     the same datagram from another port (must be counted and dropped)
//   5     bit 3 clear: the current server chosen again (clears the awaited requests);
//         set: a one-time query started (rules when bit 4 is set)
//   6     the print handler set or cleared
//   7     an out-of-band text sent (16-bit length, bytes)
// No crash, no undefined behaviour; every datagram sent goes to the server with the header and
// fits in 1024 bytes; the server keeps its address, printed text never holds a NUL byte, reply
// counts never go down, a reply is taken only while its kind is awaited, and a one-time query
// ends once.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSender.h"

#include "query/DatagramRouter.h"
#include "query/QueryBudget.h"
#include "query/QueryEngine.h"
#include "query/ServerKnowledge.h"
#include "query/ServerQuery.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

using namespace ondel;
using ondel::test::FakeClock;
using ondel::test::FakeSender;

namespace {

bool allSentWell(FakeSender& sender) {
    for (const auto& d : sender.sent) {
        if (d.host != "10.0.0.1" || d.port != 27015 || d.bytes.size() < 5 ||
            d.bytes.size() > 1024 || d.bytes[0] != 0xFF || d.bytes[1] != 0xFF ||
            d.bytes[2] != 0xFF || d.bytes[3] != 0xFF)
            return false;
    }
    sender.sent.clear();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakeClock clock(0xFFFF0000u); // the counter wraps during a long input
    FakeSender sender;
    QueryBudget budget(clock);
    DatagramRouter router(sender, &budget);
    ServerKnowledge knowledge;
    QueryEngine engine(clock, router, knowledge);
    ServerEntry server;
    server.address = {"10.0.0.1", 27015};
    engine.setCurrentServer(server);
    engine.setSchedule(ServerQuery::polite());

    std::unique_ptr<ServerQuery> once;
    int onceEnded = 0;
    auto handler = [&](std::string_view text) {
        FUZZ_CHECK(text.find('\0') == std::string_view::npos);
    };
    bool handlerSet = false;
    QueryEngine::ReplyCounts last;

    FuzzInput in(data, size);
    while (!in.empty()) {
        const std::uint8_t command = in.byte();
        const int op = command & 7;
        switch (op) {
        case 0:
            clock.advance(in.byte() * 20u);
            engine.queryTick();
            if (once)
                once->tick();
            break;
        case 1:
        case 2:
        case 3:
        case 4: {
            auto d = in.sizedBlock();
            bool awaitedInfo = engine.awaitingSince(RequestSlot::Details) != 0;
            bool awaitedPlayers = engine.awaitingSince(RequestSlot::Players) != 0;
            bool awaitedRules = engine.awaitingSince(RequestSlot::Rules) != 0;
            auto before = engine.replyCounts();
            router.onDatagram(d.data(), d.size(), "10.0.0.1", op == 4 ? 27016 : 27015);
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
            if (command & 8) {
                once = std::make_unique<ServerQuery>(clock, router, knowledge, server);
                onceEnded = 0;
                once->askOnce((command & 16) != 0, 2500,
                              [&](ServerQuery::Outcome) { ++onceEnded; });
            } else {
                engine.setCurrentServer(engine.currentServer());
                for (RequestSlot slot : kRequestSlots)
                    FUZZ_CHECK(engine.awaitingSince(slot) == 0);
            }
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
            // The budget may hold a command back; a text too long never goes.
            FUZZ_CHECK(!sent || b.size() <= QueryEngine::kMaxOutOfBandText);
            break;
        }
        }
        FUZZ_CHECK(allSentWell(sender));
        FUZZ_CHECK(onceEnded <= 1);
        const auto& counts = engine.replyCounts();
        FUZZ_CHECK(counts.info >= last.info && counts.rules >= last.rules &&
                   counts.players >= last.players && counts.ping >= last.ping);
        last = counts;
        FUZZ_CHECK(engine.currentServer().address == server.address);
        FUZZ_CHECK(engine.sentPerSecond() >= 0 && engine.receivedPerSecond() >= 0);
        FUZZ_CHECK(budget.used(server.address) <= budget.capacity());
    }
    return 0;
}
