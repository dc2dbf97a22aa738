// The simulator's remote console: challenge, commands and refusals, split output, log lines.
#include "Replies.h"
#include "SimProcess.h"
#include "UdpProbe.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <unistd.h>

namespace ondel::hlsimtest {
namespace {

const std::string kPassword = "se cret";

std::optional<std::uint32_t> challengeOf(const Bytes& reply) {
    std::string text = asText(reply, 4);
    std::smatch m;
    static const std::regex form("^challenge rcon (\\d+)\n\\0$");
    if (reply.size() < 4 || !std::regex_match(text, m, form))
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(m[1]));
}

std::uint32_t askChallenge(UdpProbe& probe, int port) {
    auto challenge = challengeOf(probe.ask(port, oob("challenge rcon\n")).value_or(Bytes{}));
    return challenge.value_or(0);
}

std::string rconLine(std::uint32_t challenge, const std::string& command,
                     const std::string& password = kPassword) {
    return "rcon " + std::to_string(challenge) + " \"" + password + "\" " + command;
}

std::optional<std::string> run(UdpProbe& probe, int port, const std::string& text) {
    return readPrint(probe.ask(port, oob(text)).value_or(Bytes{}));
}

TEST(HlsimRcon, ChallengeRequestIsAnsweredInEveryForm) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "steam"})) << sim.error();
    UdpProbe probe;
    std::optional<std::uint32_t> number;
    for (auto [text, nul] : {std::pair{"challenge rcon\n", true},
                             {"challenge rcon", true},
                             {"challenge rcon", false},
                             {"challenge rcon\n", false}}) {
        auto reply = probe.ask(sim.port(), oob(text, nul));
        ASSERT_TRUE(reply);
        auto challenge = challengeOf(*reply);
        ASSERT_TRUE(challenge) << "bad challenge reply to \"" << text << "\" nul=" << nul;
        EXPECT_NE(*challenge, 0u);
        if (number) {
            EXPECT_EQ(*challenge, *number) << "the same client keeps its number";
        }
        number = challenge;
    }
}

TEST(HlsimRcon, CommandsPrintTheirOutput) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rcon-password", kPassword, "--players", "3", "--name", "Console Box",
                           "--map", "datacore"}))
        << sim.error();
    UdpProbe probe;
    const std::uint32_t challenge = askChallenge(probe, sim.port());
    ASSERT_NE(challenge, 0u);
    auto players = readPlayers(probe.ask(sim.port(), oob("players")).value_or(Bytes{}));
    ASSERT_TRUE(players && players->size() == 3);

    // Print replies end with two NUL bytes.
    auto raw = probe.ask(sim.port(), oob(rconLine(challenge, "echo hello   world")));
    ASSERT_TRUE(raw);
    ASSERT_GE(raw->size(), 7u);
    EXPECT_EQ((*raw)[raw->size() - 1], 0);
    EXPECT_EQ((*raw)[raw->size() - 2], 0);
    EXPECT_EQ(readPrint(*raw), "hello world\n");

    EXPECT_EQ(run(probe, sim.port(), rconLine(challenge, "bogus x y")),
              "Unknown command \"bogus\"\n");
    EXPECT_EQ(run(probe, sim.port(), rconLine(challenge, "mp_timelimit")),
              "\"mp_timelimit\" is \"30\"\n");

    auto maps = run(probe, sim.port(), rconLine(challenge, "maps *"));
    ASSERT_TRUE(maps);
    EXPECT_NE(maps->find("crossfire.bsp\n"), std::string::npos);
    EXPECT_NE(maps->find("datacore.bsp\n"), std::string::npos);

    auto users = run(probe, sim.port(), rconLine(challenge, "users"));
    ASSERT_TRUE(users);
    EXPECT_NE(users->find("3 users\n"), std::string::npos);

    auto status = run(probe, sim.port(), rconLine(challenge, "status"));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->starts_with("hostname:  Console Box\n")) << *status;
    EXPECT_NE(status->find("\nmap     :  datacore"), std::string::npos);
    EXPECT_NE(status->find("\nplayers :  3 active (16 max)\n"), std::string::npos);
    EXPECT_NE(status->find("\ntcp/ip  :  127.0.0.1:" + std::to_string(sim.port()) + "\n"),
              std::string::npos);
    for (std::size_t i = 0; i < players->size(); ++i) {
        const auto& p = (*players)[i];
        std::regex row("\n# ?" + std::to_string(i + 1) + " \"" + p.name +
                       "\" \\d+ STEAM_0:[01]:\\d+ " + std::to_string(p.frags) +
                       " [0-9:]+ \\d+ \\d+ [0-9.]+:\\d+\n");
        EXPECT_TRUE(std::regex_search(*status, row)) << "no status row for " << p.name;
    }
    EXPECT_TRUE(status->ends_with("\n3 users\n"));
}

TEST(HlsimRcon, RefusalsGetTheServersAnswers) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rcon-password", kPassword})) << sim.error();
    UdpProbe probe;
    const std::uint32_t challenge = askChallenge(probe, sim.port());
    ASSERT_NE(challenge, 0u);
    struct Case {
        std::string text;
        std::string answer;
    };
    const std::vector<Case> cases = {
        {rconLine(challenge, "echo hi", "wrong"), "Bad rcon_password.\n"},
        {rconLine(challenge, "echo hi", ""), "Bad rcon_password.\n"},
        {rconLine(challenge, "echo hi", "SE CRET"), "Bad rcon_password.\n"},
        {rconLine(challenge + 1, "echo hi"), "Bad challenge.\n"},
        {"rcon \"" + kPassword + "\" echo hi", "Bad challenge.\n"},
        {"rcon ", "Bad challenge.\n"},
        {rconLine(challenge, "echo right"), "right\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(run(probe, sim.port(), c.text), c.answer) << c.text;
}

TEST(HlsimRcon, PasswordMayBeQuotedOrBareAndOldProtocolNeedsTheOption) {
    UdpProbe probe;
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--rcon-password", "plain"})) << sim.error();
        const std::uint32_t challenge = askChallenge(probe, sim.port());
        EXPECT_EQ(run(probe, sim.port(), "rcon " + std::to_string(challenge) + " plain echo a"),
                  "a\n");
        EXPECT_EQ(run(probe, sim.port(), rconLine(challenge, "echo b", "plain")), "b\n");
        EXPECT_EQ(run(probe, sim.port(), "rcon \"plain\" echo c"), "Bad challenge.\n");
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--rcon-password", "plain", "--old-rcon"})) << sim.error();
        EXPECT_EQ(run(probe, sim.port(), "rcon \"plain\" echo c"), "c\n");
        EXPECT_EQ(run(probe, sim.port(), "rcon plain echo d"), "d\n");
        EXPECT_EQ(run(probe, sim.port(), "rcon \"wrong\" echo e"), "Bad rcon_password.\n");
        const std::uint32_t challenge = askChallenge(probe, sim.port());
        EXPECT_EQ(run(probe, sim.port(), rconLine(challenge, "echo f", "plain")), "f\n");
    }
    {
        SimProcess sim; // no password configured: nothing is accepted
        ASSERT_TRUE(sim.start({})) << sim.error();
        const std::uint32_t challenge = askChallenge(probe, sim.port());
        EXPECT_EQ(run(probe, sim.port(), rconLine(challenge, "echo g", "")),
                  "Bad rcon_password.\n");
    }
}

TEST(HlsimRcon, StatusOfAFullServerArrivesSplitAndWhole) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "steam", "--rcon-password", kPassword, "--players", "32"}))
        << sim.error();
    UdpProbe probe;
    const std::uint32_t challenge = askChallenge(probe, sim.port());
    ASSERT_NE(challenge, 0u);
    probe.send(sim.port(), oob(rconLine(challenge, "status")));
    auto first = probe.receive();
    ASSERT_TRUE(first);
    ASSERT_GE(first->size(), 9u);
    EXPECT_EQ((*first)[0], 0xFE) << "status on 32 players must be split";
    EXPECT_LE(first->size(), 1400u);
    probe.drain(300);

    auto status = run(probe, sim.port(), rconLine(challenge, "status"));
    ASSERT_TRUE(status) << "fragments do not rebuild a print reply";
    EXPECT_TRUE(status->ends_with("\n32 users\n"));
    auto challengeA = readChallenge(probe.ask(sim.port(), oobWithInt('U', -1)).value_or(Bytes{}));
    ASSERT_TRUE(challengeA);
    auto players =
        readPlayers(probe.ask(sim.port(), oobWithInt('U', static_cast<std::int32_t>(*challengeA)))
                        .value_or(Bytes{}));
    ASSERT_TRUE(players);
    ASSERT_EQ(players->size(), 32u);
    for (const auto& p : *players)
        EXPECT_NE(status->find(" \"" + p.name + "\" "), std::string::npos) << p.name;
}

TEST(HlsimRcon, LogAddressReceivesRconAndGameEventLines) {
    const std::string scenario = "/tmp/hlsim-rcon-log-" + std::to_string(::getpid()) + ".txt";
    std::ofstream(scenario) << "at 1.5 join Zed\n";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rcon-password", kPassword, "--scenario", scenario})) << sim.error();
    UdpProbe console;
    UdpProbe logs;
    const std::uint32_t challenge = askChallenge(console, sim.port());
    ASSERT_NE(challenge, 0u);
    const std::string from = "\" from \"127.0.0.1:" + std::to_string(console.port()) + "\"\n";
    const std::string stamp = "^log L \\d\\d/\\d\\d/\\d{4} - \\d\\d:\\d\\d:\\d\\d: ";

    auto logLine = [&]() -> std::optional<std::string> {
        auto d = logs.receive();
        if (!d || d->size() < 6 || d->back() != 0 || (*d)[4] != 'l')
            return std::nullopt;
        return asText(Bytes(d->begin(), d->end() - 1), 4);
    };

    const std::string setAddress =
        rconLine(challenge, "logaddress 127.0.0.1 " + std::to_string(logs.port()));
    ASSERT_TRUE(run(console, sim.port(), setAddress));
    auto line = logLine();
    ASSERT_TRUE(line) << "no log line after logaddress";
    EXPECT_TRUE(std::regex_search(*line, std::regex(stamp + "Rcon: ")) &&
                line->ends_with("Rcon: \"" + setAddress + from))
        << *line;

    ASSERT_TRUE(run(console, sim.port(), rconLine(challenge, "echo logged")));
    line = logLine();
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->ends_with(": Rcon: \"" + rconLine(challenge, "echo logged") + from)) << *line;

    EXPECT_EQ(run(console, sim.port(), rconLine(challenge, "echo no", "guess")),
              "Bad rcon_password.\n");
    line = logLine();
    ASSERT_TRUE(line);
    EXPECT_TRUE(std::regex_search(*line, std::regex(stamp + "Bad Rcon: ")) &&
                line->ends_with("Bad Rcon: \"" + rconLine(challenge, "echo no", "guess") + from))
        << *line;

    // The scenario's join is logged like a real player's.
    bool entered = false;
    for (int i = 0; i < 4 && !entered; ++i) {
        line = logLine();
        ASSERT_TRUE(line) << "no log line for the scenario's join";
        entered = std::regex_search(
            *line, std::regex(stamp + "\"Zed<\\d+><STEAM_0:[01]:\\d+><>\" entered the game\n$"));
    }
    EXPECT_TRUE(entered);
    ::unlink(scenario.c_str());
}

} // namespace
} // namespace ondel::hlsimtest
