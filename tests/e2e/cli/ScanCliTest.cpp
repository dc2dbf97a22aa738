// ondel-cli scan against a mix of simulated servers on loopback: legacy, Steam-only and dead
// ones, from a text file, standard input and a list file; bad input is reported and skipped.
#include "../hlsim/SimProcess.h"

#include "serverlist/ListFiles.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>

using ondel::hlsimtest::ProgramResult;
using ondel::hlsimtest::runProgram;
using ondel::hlsimtest::SimProcess;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";

std::string tempPath(const std::string& name) {
    return "/tmp/ondel-scan-" + std::to_string(::getpid()) + "-" + name;
}

// Ten servers: one dead, two Steam-only, seven legacy, two players each.
bool startMix(SimProcess& sim) {
    return sim.start(
        {"--count", "10", "--dead-share", "0.1", "--steam-only-share", "0.2", "--players", "2"},
        10);
}

} // namespace

TEST(ScanCli, JsonReadsEveryLiveServerInItsDialectAndReportsBadLinesByNumber) {
    SimProcess sim;
    ASSERT_TRUE(startMix(sim)) << sim.error();
    std::string path = tempPath("servers.txt");
    {
        std::ofstream out(path);
        out << "# the mix\n";
        for (int port : sim.ports())
            out << "127.0.0.1:" << port << "\n";
        out << "\nnot a server\n127.0.0.1:99999\n";
    }
    ProgramResult r =
        runProgram(kCli, {"scan", path, "--json", "--rules", "--timeout", "1500"}, 20000);
    std::remove(path.c_str());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find(":13: not a server address: not a server"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(":14: not a server address"), std::string::npos) << r.err;

    QJsonParseError error{};
    QJsonArray all = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;
    ASSERT_EQ(all.size(), 10);
    std::map<std::string, int> kinds;
    for (const auto& v : all) {
        QJsonObject o = v.toObject();
        std::string status = o.value("status").toString().toStdString();
        kinds[status + "/" + o.value("dialect").toString("none").toStdString()]++;
        if (status == "up") {
            EXPECT_TRUE(o.value("hostName").toString().startsWith("Ondel Test Server #"));
            EXPECT_EQ(o.value("playerList").toArray().size(), 2);
            EXPECT_EQ(o.value("maxPlayers").toInt(), 16);
            EXPECT_FALSE(o.value("rules").toArray().isEmpty());
        } else {
            EXPECT_EQ(o.value("hostName").toString(), "");
        }
    }
    EXPECT_EQ(kinds,
              (std::map<std::string, int>{{"up/legacy", 7}, {"up/steam", 2}, {"timeout/none", 1}}));
}

TEST(ScanCli, TableFromStandardInputAndFromAListFile) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--count", "2", "--map", "bounce"}, 2)) << sim.error();
    std::string text = "127.0.0.1:" + std::to_string(sim.port(0)) + "\n";
    ProgramResult r = runProgram(
        "/bin/sh", {"-c", "printf '" + text + "' | \"$0\" scan --timeout 1000", kCli}, 20000);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("NAME"), std::string::npos);
    EXPECT_NE(r.out.find("Ondel Test Server #1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bounce"), std::string::npos);
    EXPECT_NE(r.out.find("0/16"), std::string::npos);
    EXPECT_NE(r.out.find("legacy"), std::string::npos);

    std::string listPath = tempPath("clan.sl06");
    ondel::ServerList list(listPath, listPath, "Clan");
    ondel::ServerEntry e;
    e.address = {"127.0.0.1", sim.port(1)};
    list.entries() = {e};
    ASSERT_TRUE(ondel::writeList(list, listPath));
    r = runProgram(kCli, {"scan", listPath, "--timeout", "1000"}, 20000);
    std::remove(listPath.c_str());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("Ondel Test Server #2"), std::string::npos) << r.out;
}

TEST(ScanCli, UnreadableInputAndBadArgumentsExitWithOne) {
    // Nothing readable is a failure (1); a mistake on the command line is a usage error (2).
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"scan", "/nonexistent/servers.txt"}, 1},
        {{"scan", "/nonexistent/clan.sl06"}, 1},
        {{"scan", "/tmp"}, 1},
        {{"scan", "--timeout", "0"}, 2},
        {{"scan", "--concurrency", "x"}, 2},
        {{"scan", "--bogus"}, 2},
    };
    for (const auto& [args, status] : cases) {
        ProgramResult r = runProgram(kCli, args, 10000);
        EXPECT_EQ(r.exitStatus, status) << args[1];
        EXPECT_TRUE(r.err.starts_with("ondel-cli scan: ")) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    // An unreadable file beside a readable one: reported, and the rest is scanned.
    std::string empty = tempPath("empty.txt");
    std::ofstream(empty) << "# nothing yet\n";
    ProgramResult r = runProgram(kCli, {"scan", "/nonexistent/a.txt", empty, "--json"}, 10000);
    std::remove(empty.c_str());
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("/nonexistent/a.txt: cannot be read"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "[]\n");
}

TEST(ScanCli, TheToolLinksNoQt) {
    ProgramResult r = runProgram("/usr/bin/ldd", {kCli});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out.find("libQt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("libc.so"), std::string::npos) << r.out;
}
