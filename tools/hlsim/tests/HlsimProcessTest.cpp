// The simulator as a process: command line, several servers, ending on signals, scenarios.
#include "Replies.h"
#include "SimProcess.h"
#include "UdpProbe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <thread>

namespace ondel::hlsimtest {
namespace {

std::string writeScenario(const std::string& text) {
    static int counter = 0;
    std::string path = "/tmp/hlsim-scenario-" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter++) + ".txt";
    std::ofstream(path) << text;
    return path;
}

// Asks for the players every 100 ms until `done` holds for a reply, for up to 10 s.
bool waitForPlayers(UdpProbe& probe, int port,
                    const std::function<bool(const std::vector<PlayerRow>&)>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        auto players = readPlayers(probe.ask(port, oob("players"), 2000).value_or(Bytes{}));
        if (players && done(*players))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

const PlayerRow* findPlayer(const std::vector<PlayerRow>& players, const std::string& name) {
    for (const auto& p : players) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

TEST(HlsimProcess, CountStartsServersOnConsecutivePorts) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--count", "3", "--name", "Bench"}, 3)) << sim.error();
    ASSERT_EQ(sim.ports().size(), 3u);
    UdpProbe probe;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sim.port(static_cast<std::size_t>(i)), sim.port() + i);
        auto info = readLegacyInfo(
            probe.ask(sim.port(static_cast<std::size_t>(i)), oob("details")).value_or(Bytes{}));
        ASSERT_TRUE(info);
        EXPECT_EQ(info->name, "Bench #" + std::to_string(i + 1));
        EXPECT_EQ(info->address, "127.0.0.1:" + std::to_string(sim.port() + i));
    }
}

TEST(HlsimProcess, EndsWithStatusZeroOnSigtermAndSigint) {
    for (int signal : {SIGTERM, SIGINT}) {
        SimProcess sim;
        ASSERT_TRUE(sim.start({})) << sim.error();
        EXPECT_EQ(sim.stop(signal), 0) << "signal " << signal;
    }
}

TEST(HlsimProcess, RefusesBadCommandLinesWithAMessage) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "70000"},
        {"--port", "12x"},
        {"--dialect", "modern"},
        {"--rule", "novalue"},
        {"--rule", "=value"},
        {"--bogus"},
        {"--players", "5", "--max-players", "3"},
        {"--os", "m"},
        {"--loss", "101"},
        {"--name"},
        {"--quiet=1"},
        {"--port", "65535", "--count", "2"},
        {"--scenario", "/nonexistent/hlsim-scenario.txt"},
        {"--dead-share", "1.5"},
        {"--steam-only-share", "0.12345"},
        {"--dead-share", "0.6", "--steam-only-share", "0.5"},
    };
    for (const auto& args : cases) {
        auto result = runProgram(hlsimPath(), args);
        EXPECT_EQ(result.exitStatus, 1) << args[0];
        EXPECT_TRUE(result.err.starts_with("hlsim: ")) << args[0] << ": " << result.err;
        EXPECT_EQ(result.out.find("listening"), std::string::npos);
    }
}

TEST(HlsimProcess, ShareOptionsMixDeadAndSteamOnlyServersByNumber) {
    // 20 servers: a tenth dead (2), a fifth Steam-only (4), the rest legacy, at the numbers the
    // README's rule gives.
    SimProcess sim;
    ASSERT_TRUE(
        sim.start({"--count", "20", "--dead-share", "0.1", "--steam-only-share", "0.2"}, 20))
        << sim.error();
    UdpProbe probe;
    std::string kinds;
    for (int port : sim.ports()) {
        bool legacy =
            readLegacyInfo(probe.ask(port, oob("details"), 150).value_or(Bytes{})).has_value();
        bool steam =
            readSteamInfo(probe.ask(port, oob("TSource Engine Query"), 150).value_or(Bytes{}))
                .has_value();
        kinds += legacy && steam ? 'b' : legacy ? 'l' : steam ? 's' : '-';
    }
    EXPECT_EQ(kinds, "llllsllls-llllsllls-");
}

TEST(HlsimProcess, PortInUseIsReported) {
    SimProcess first;
    ASSERT_TRUE(first.start({})) << first.error();
    auto result = runProgram(hlsimPath(), {"--port", std::to_string(first.port())});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("cannot listen"), std::string::npos) << result.err;
}

TEST(HlsimScenario, EventsChangeTheStateOverTime) {
    std::string path = writeScenario("# players come and go\n"
                                     "join Alice 3\n"
                                     "join \"Big Bob\"\n"
                                     "at 0.4 frags Alice +4\n"
                                     "after 0.2 kill Alice \"Big Bob\" crossbow\n"
                                     "at 0.8 leave \"Big Bob\"\n"
                                     "at 0.8 set name \"Renamed Server\"\n"
                                     "at 0.8 rule mp_friendlyfire 1\n");
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--scenario", path})) << sim.error();
    UdpProbe probe;
    auto first = readPlayers(probe.ask(sim.port(), oob("players")).value_or(Bytes{}));
    ASSERT_TRUE(first);
    ASSERT_TRUE(findPlayer(*first, "Alice")) << "events at time 0 come before the first reply";
    ASSERT_TRUE(findPlayer(*first, "Big Bob"));

    EXPECT_TRUE(waitForPlayers(probe, sim.port(), [](const auto& players) {
        const PlayerRow* alice = findPlayer(players, "Alice");
        return alice && alice->frags == 8 && !findPlayer(players, "Big Bob");
    })) << "Alice should end with 3 + 4 + 1 frags and Big Bob should leave";
    auto info = readLegacyInfo(probe.ask(sim.port(), oob("details")).value_or(Bytes{}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, "Renamed Server");
    EXPECT_EQ(info->players, 1);
    auto rules = readRules(probe.ask(sim.port(), oob("rules")).value_or(Bytes{}));
    ASSERT_TRUE(rules);
    EXPECT_EQ(rules->value("mp_friendlyfire"), "1");
    ::unlink(path.c_str());
}

TEST(HlsimScenario, LoopPlaysTheEventsAgain) {
    std::string path = writeScenario("join Looper\nat 0.3 leave Looper\nloop 0.6\n");
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--scenario", path})) << sim.error();
    UdpProbe probe;
    auto gone = [](const auto& players) { return findPlayer(players, "Looper") == nullptr; };
    auto back = [](const auto& players) { return findPlayer(players, "Looper") != nullptr; };
    EXPECT_TRUE(waitForPlayers(probe, sim.port(), gone));
    EXPECT_TRUE(waitForPlayers(probe, sim.port(), back)) << "the loop should let Looper join again";
    EXPECT_TRUE(waitForPlayers(probe, sim.port(), gone));
    ::unlink(path.c_str());
}

TEST(HlsimScenario, FillThenFreeStartsFullAndFreesOneSlot) {
    SimProcess sim;
    ASSERT_TRUE(sim.start(
        {"--scenario", ONDEL_TEST_DATA "/../../tools/hlsim/scenarios/fill-then-free.txt"}))
        << sim.error();
    UdpProbe probe;
    auto info = readLegacyInfo(probe.ask(sim.port(), oob("details")).value_or(Bytes{}));
    ASSERT_TRUE(info);
    EXPECT_GT(info->maxPlayers, 0);
    EXPECT_EQ(info->players, info->maxPlayers) << "the server starts full";
    const int slots = info->maxPlayers;
    EXPECT_TRUE(waitForPlayers(probe, sim.port(), [&](const auto& players) {
        return static_cast<int>(players.size()) == slots - 1;
    })) << "one slot should become free";
}

TEST(HlsimScenario, DemoScenarioLoadsAndChangesThePlayers) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--scenario", ONDEL_TEST_DATA "/../../tools/hlsim/scenarios/demo.txt"}))
        << sim.error();
    UdpProbe probe;
    auto first = readPlayers(probe.ask(sim.port(), oob("players")).value_or(Bytes{}));
    ASSERT_TRUE(first);
    ASSERT_FALSE(first->empty());
    int total = 0;
    for (const auto& p : *first)
        total += p.frags;
    EXPECT_TRUE(waitForPlayers(probe, sim.port(), [&](const auto& players) {
        int now = 0;
        for (const auto& p : players)
            now += p.frags;
        return now != total || players.size() != first->size();
    })) << "the demo should be lively within seconds";
}

TEST(HlsimScenario, BadScenariosNameTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"join A\njump A\n", "line 2"},   {"at x join A\n", "line 1"},
        {"\n\nfrags A 3x\n", "line 3"},   {"set colour red\n", "line 1"},
        {"set maxplayers 0\n", "line 1"}, {"loop 5\nat 6 join A\n", "line 2"},
        {"join \"Alice\n", "line 1"},     {"at 3\n", "line 1"},
        {"full now\n", "line 1"},         {"leave\n", "line 1"},
    };
    for (const auto& [text, where] : cases) {
        std::string path = writeScenario(text);
        auto result = runProgram(hlsimPath(), {"--port", "0", "--scenario", path});
        EXPECT_EQ(result.exitStatus, 1) << text;
        EXPECT_NE(result.err.find(path + ": " + where + ":"), std::string::npos)
            << text << " gave: " << result.err;
        ::unlink(path.c_str());
    }
}

} // namespace
} // namespace ondel::hlsimtest
