// The console's session on the real query engine: the datagrams on the wire, the challenge
// number stored by the engine's dispatch, print replies reaching only an open console.
#include "../fakes/FakeClock.h"
#include "../fakes/FakeSender.h"
#include "common/ByteWriter.h"
#include "query/DatagramRouter.h"
#include "query/QueryEngine.h"
#include "query/ResultStore.h"
#include "query/ServerKnowledge.h"
#include "rcon/QueryEngineRconPort.h"
#include "rcon/RconSession.h"
#include "serverlist/ServerListSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ondel;

namespace {

struct Rig {
    Rig() {
        lists.append(ServerList("serverlist.sl06", "", ServerListSet::kCustomListName));
        ServerEntry entry;
        entry.address = {"10.0.0.1", 27015};
        lists.current().storeEntry(entry);
        engine.setResultHandler([this](QueryEngine::Result what, const ServerEntry& record) {
            storeResult(lists, what, record);
        });
        engine.setCurrentServer(entry);
    }
    void receive(std::string_view payload, const std::string& host = "10.0.0.1",
                 int fromPort = 27015) {
        ByteWriter w;
        w.u32(0xFFFFFFFFu);
        w.bytes(payload);
        router.onDatagram(w.data().data(), w.size(), host, fromPort);
    }

    test::FakeClock clock;
    test::FakeSender sender;
    ServerListSet lists;
    DatagramRouter router{sender};
    ServerKnowledge knowledge;
    QueryEngine engine{clock, router, knowledge};
    QueryEngineRconPort port{engine};
};

} // namespace

TEST(RconOverEngine, ChallengeCommandAndPrintRepliesOnTheWire) {
    Rig rig;
    std::vector<std::string> printed;
    {
        RconSession session(rig.port);
        session.open([&](std::string_view text) { printed.emplace_back(text); });
        ASSERT_EQ(rig.sender.sent.size(), 1u);
        const auto& request = rig.sender.sent[0];
        EXPECT_EQ(request.host, "10.0.0.1");
        EXPECT_EQ(request.port, 27015);
        std::vector<std::uint8_t> expected = {0xFF, 0xFF, 0xFF, 0xFF, 'c', 'h', 'a', 'l', 'l',  'e',
                                              'n',  'g',  'e',  ' ',  'r', 'c', 'o', 'n', '\n', 0};
        EXPECT_EQ(request.bytes, expected); // 20 bytes
        rig.sender.sent.clear();

        EXPECT_EQ(session.send("pw", "status", false), RconSession::SendResult::NoChallenge);
        rig.receive("challenge rcon 4711\n", "10.0.0.1", 27016); // another port: ignored
        EXPECT_EQ(session.challenge(), 0u);
        rig.receive("challenge rcon 4711\n");
        EXPECT_EQ(session.challenge(), 4711u);
        rig.receive("challenge rcon 0\n");
        EXPECT_EQ(session.challenge(), 4711u);

        EXPECT_EQ(session.send("", "status", false), RconSession::SendResult::Sent);
        ASSERT_EQ(rig.sender.sent.size(), 1u);
        EXPECT_EQ(rig.sender.sent[0].text(), "rcon 4711 \"\" status");
        EXPECT_EQ(rig.sender.sent[0].bytes.size(), 4u + 19u + 1u);

        rig.receive("lhostname: x\n");
        rig.receive("log L 01/01/2014 - 01:25:17: x\n");
        EXPECT_EQ(printed,
                  (std::vector<std::string>{"hostname: x\n", "og L 01/01/2014 - 01:25:17: x\n"}));

        // The number is part of the current record and goes into the list with it (as every
        // accepted info reply stores it there); a new request clears it in both.
        rig.lists.current().entries()[0] = rig.engine.currentServer();
        ASSERT_EQ(rig.lists.current().entries()[0].rconChallenge, 4711u);
        session.requestNewChallenge();
        EXPECT_EQ(rig.engine.currentServer().rconChallenge, 0u);
        ASSERT_EQ(rig.lists.current().size(), 1u);
        EXPECT_EQ(rig.lists.current().entries()[0].rconChallenge, 0u);
    }
    rig.receive("llate\n"); // no console any more: dropped
    EXPECT_EQ(printed.size(), 2u);
}
