// ondel-cli query against the simulator on loopback: what the server says arrives whole, over
// packet loss, in the Steam dialect with split replies, and a silent server times out.
#include "../hlsim/SimProcess.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <gtest/gtest.h>

using ondel::hlsimtest::ProgramResult;
using ondel::hlsimtest::runProgram;
using ondel::hlsimtest::SimProcess;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";

// Runs ondel-cli query with --json; the record, or an empty object when there is none.
QJsonObject queryJson(const SimProcess& sim, int timeoutMs, ProgramResult* result = nullptr) {
    ProgramResult r = runProgram(kCli,
                                 {"query", sim.address(), "--json", "--timeout",
                                  std::to_string(timeoutMs), "--interval", "200"},
                                 timeoutMs + 10000);
    if (result)
        *result = r;
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
}

QJsonObject ruleNamed(const QJsonArray& rules, const QString& name) {
    for (const auto& rule : rules)
        if (rule.toObject().value("name").toString() == name)
            return rule.toObject();
    return {};
}

} // namespace

TEST(QueryCli, ReturnsTheSimulatorsNameMapPlayersAndRules) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--name", "E2E Server", "--map", "stalkyard", "--players", "5", "--rule",
                           "mp_timelimit=25", "--rule", "admin_mod_version=2.50.60", "--game-dir",
                           "cstrike", "--mod"}))
        << sim.error();
    QJsonObject r = queryJson(sim, 10000);
    EXPECT_EQ(r.value("hostName").toString(), "E2E Server");
    EXPECT_EQ(r.value("map").toString(), "stalkyard");
    EXPECT_EQ(r.value("gameDir").toString(), "cstrike");
    EXPECT_EQ(r.value("isMod").toInt(), 1);
    EXPECT_EQ(r.value("players").toInt(), 5);
    EXPECT_EQ(r.value("playerList").toArray().size(), 5);
    EXPECT_EQ(r.value("timeLimit").toInt(), 25);
    EXPECT_EQ(r.value("adminModVersion").toString(), "2.50.60");
    EXPECT_EQ(ruleNamed(r.value("rules").toArray(), "mp_timelimit").value("value").toString(),
              "25");
    EXPECT_EQ(r.value("infoValid").toInt(), 1);
    EXPECT_EQ(r.value("rulesValid").toInt(), 1);
    EXPECT_EQ(r.value("dialect").toString(), "legacy");
    EXPECT_TRUE(r.contains("lastPing"));
    EXPECT_TRUE(r.contains("averagePing"));
}

TEST(QueryCli, TextOutputNamesTheServerAndTheDialect) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--name", "Plain Text", "--players", "2"})) << sim.error();
    ProgramResult r = runProgram(kCli, {"query", sim.address(), "--interval", "200"}, 20000);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("hostName: Plain Text\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("playerList: 2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("dialect: legacy\n"), std::string::npos) << r.out;
}

TEST(QueryCli, CompletesOverHalfTheDatagramsLost) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--loss", "50", "--seed", "11", "--players", "3"})) << sim.error();
    QJsonObject r = queryJson(sim, 90000);
    EXPECT_EQ(r.value("hostName").toString(), "Ondel Test Server");
    EXPECT_EQ(r.value("playerList").toArray().size(), 3);
}

TEST(QueryCli, TimesOutWithStatusOneWhenTheServerIsGone) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({})) << sim.error();
    std::string where = sim.address();
    sim.stop(SIGTERM);
    ProgramResult r =
        runProgram(kCli, {"query", where, "--timeout", "1500", "--interval", "200"}, 20000);
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("missing: details, rules, players, ping"), std::string::npos) << r.err;
}

TEST(QueryCli, BadArgumentsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"query"},
        {"query", "localhost:27015"},
        {"query", "10.0.0.1"},
        {"query", "127.0.0.1:27015", "--timeout"},
        {"query", "127.0.0.1:27015", "--timeout", "abc"},
        {"query", "127.0.0.1:27015", "--interval", "0"},
        {"query", "127.0.0.1:27015", "--frobnicate"},
        {"query", "127.0.0.1:27015", "127.0.0.1:27016"},
    };
    for (const auto& args : cases) {
        ProgramResult r = runProgram(kCli, args, 10000);
        EXPECT_EQ(r.exitStatus, 2) << args.back();
        EXPECT_FALSE(r.err.empty());
    }
}

TEST(QueryCli, SteamServerShowsEveryPlayerAndRuleOfSplitReplies) {
    struct Case {
        std::vector<std::string> extra;
    } cases[] = {
        {{}},
        {{"--info-challenge"}},
        {{"--info-both", "--split-size", "600"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--dialect",     "steam", "--players",     "32",
                                         "--max-players", "32",    "--rules-extra", "200"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        SimProcess sim;
        ASSERT_TRUE(sim.start(args)) << sim.error();
        QJsonObject r = queryJson(sim, 30000);
        EXPECT_EQ(r.value("dialect").toString(), "steam");
        EXPECT_EQ(r.value("hostName").toString(), "Ondel Test Server");
        QJsonArray players = r.value("playerList").toArray();
        ASSERT_EQ(players.size(), 32);
        QSet<QString> names;
        for (const auto& p : players)
            names.insert(p.toObject().value("name").toString());
        EXPECT_EQ(names.size(), 32); // every player, none twice
        QJsonArray rules = r.value("rules").toArray();
        for (int i = 1; i <= 200; ++i) {
            QString name = QString("hlsim_extra_%1").arg(i, 3, 10, QChar('0'));
            EXPECT_FALSE(ruleNamed(rules, name).isEmpty()) << name.toStdString();
        }
        EXPECT_EQ(r.value("timeLimit").toInt(), 30);
    }
}

TEST(QueryCli, ServerAnsweringBothDialectsStaysLegacy) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--dialect", "both"})) << sim.error();
    QJsonObject r = queryJson(sim, 10000);
    EXPECT_EQ(r.value("dialect").toString(), "legacy");
}
