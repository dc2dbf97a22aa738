// An independent client, Debian's qstat (installed as qstat or quakestat), reads the simulator:
// proof that the simulator speaks the servers' format and not only our own reading of it.
#include "Replies.h"
#include "SimProcess.h"
#include "UdpProbe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

namespace ondel::hlsimtest {
namespace {

std::string findQstat() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        for (const char* name : {"qstat", "quakestat"}) {
            std::string candidate = dir + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
    }
    return {};
}

std::vector<std::string> split(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, delimiter))
        parts.push_back(part);
    return parts;
}

// qstat's raw output with a tab between fields: the server line, the rules line, then one line
// per player (name, frags, time).
struct QstatView {
    std::vector<std::string> server;
    std::map<std::string, std::string> rules;
    std::map<std::string, int> playerFrags;
};

std::optional<QstatView> runQstat(const std::string& kind, int port) {
    std::string qstat = findQstat();
    auto result = runProgram(
        qstat,
        {kind, "127.0.0.1:" + std::to_string(port), "-R", "-P", "-raw", "\t", "-timeout", "8"},
        20000);
    if (result.exitStatus != 0)
        return std::nullopt;
    auto lines = split(result.out, '\n');
    if (lines.size() < 2)
        return std::nullopt;
    QstatView view;
    view.server = split(lines[0], '\t');
    for (const auto& pair : split(lines[1], '\t')) {
        auto eq = pair.find('=');
        if (eq != std::string::npos)
            view.rules[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    for (std::size_t i = 2; i < lines.size() && !lines[i].empty(); ++i) {
        auto fields = split(lines[i], '\t');
        if (fields.size() >= 2)
            view.playerFrags[fields[0]] = std::atoi(fields[1].c_str());
    }
    return view;
}

std::map<std::string, int> ourPlayers(const std::vector<PlayerRow>& rows) {
    std::map<std::string, int> frags;
    for (const auto& row : rows)
        frags[row.name] = row.frags;
    return frags;
}

class HlsimQstat : public ::testing::Test {
protected:
    void SetUp() override {
        if (findQstat().empty())
            GTEST_SKIP() << "qstat is not installed (scripts/install-deps.sh installs it)";
    }
};

TEST_F(HlsimQstat, LegacyQueriesReadTheSameServer) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--name", "Qstat Check", "--map", "stalkyard", "--players", "5",
                           "--bots", "1", "--max-players", "12", "--mod", "--secure", "--rule",
                           "admin_mod_version=2.50.60", "--rule", "reserve_slots=1"}))
        << sim.error();
    auto view = runQstat("-hls", sim.port());
    ASSERT_TRUE(view) << "qstat failed";
    ASSERT_GE(view->server.size(), 6u);
    EXPECT_EQ(view->server[0], "HLS");
    EXPECT_EQ(view->server[2], "Qstat Check");
    EXPECT_EQ(view->server[3], "stalkyard");
    EXPECT_EQ(view->server[4], "12");
    EXPECT_EQ(view->server[5], "5");

    // The info fields, the mod block included: misplaced bytes would show here.
    const std::map<std::string, std::string> expected = {
        {"gamedir", "valve"},   {"protocol", "47"},     {"sv_type", "dedicated"},
        {"sv_os", "linux"},     {"sv_password", "0"},   {"mod", "1"},
        {"modversion", "1"},    {"svonly", "1"},        {"cldll", "1"},
        {"secure", "1"},        {"mp_timelimit", "30"}, {"admin_mod_version", "2.50.60"},
        {"reserve_slots", "1"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(view->rules[name], value) << name;

    UdpProbe probe;
    auto players = readPlayers(probe.ask(sim.port(), oob("players")).value_or(Bytes{}));
    ASSERT_TRUE(players);
    EXPECT_EQ(view->playerFrags, ourPlayers(*players));
}

TEST_F(HlsimQstat, SteamQueriesReadAFullServerThroughFragments) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "steam", "--info-challenge", "--name", "Steam Check",
                           "--map", "undertow", "--players", "32", "--bots", "2", "--rules-extra",
                           "200", "--secure"}))
        << sim.error();
    auto view = runQstat("-a2s", sim.port());
    ASSERT_TRUE(view) << "qstat failed";
    ASSERT_GE(view->server.size(), 6u);
    EXPECT_EQ(view->server[0], "A2S");
    EXPECT_EQ(view->server[2], "Steam Check");
    EXPECT_EQ(view->server[3], "undertow");
    EXPECT_EQ(view->server[4], "32");
    EXPECT_EQ(view->server[5], "32");
    EXPECT_EQ(view->rules["bots"], "2");
    EXPECT_EQ(view->rules["secure"], "1");
    EXPECT_EQ(view->rules["gamedir"], "valve");
    EXPECT_EQ(view->rules["game_port"], std::to_string(sim.port()));
    int extras = 0;
    for (const auto& [name, value] : view->rules)
        extras += name.starts_with("hlsim_extra_") ? 1 : 0;
    EXPECT_EQ(extras, 200) << "the split rules reply was not read whole";

    UdpProbe probe;
    auto challenge = readChallenge(probe.ask(sim.port(), oobWithInt('U', -1)).value_or(Bytes{}));
    ASSERT_TRUE(challenge);
    auto players =
        readPlayers(probe.ask(sim.port(), oobWithInt('U', static_cast<std::int32_t>(*challenge)))
                        .value_or(Bytes{}));
    ASSERT_TRUE(players);
    EXPECT_EQ(view->playerFrags, ourPlayers(*players));
}

} // namespace
} // namespace ondel::hlsimtest
