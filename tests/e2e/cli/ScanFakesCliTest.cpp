// ondel-cli scan over a fake server farm, an honest hoster and ordinary servers: the farm is
// marked as made up and nothing else; a blocked server is listed blocked and never asked; a
// country database gives every live server its country.
#include "../hlsim/SimProcess.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

using ondel::hlsimtest::ProgramResult;
using ondel::hlsimtest::runProgram;
using ondel::hlsimtest::SimProcess;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(ScanFakesCli, FarmIsMarkedHosterIsNotBlockedServerIsNotAskedCountriesAreRead) {
    const std::string dir = "/tmp/ondel-fakes-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    const std::string db = dir + "/countries.mmdb";
    ProgramResult made = runProgram(
        "/usr/bin/perl", {ONDEL_TEST_DATA "/make-country-db.pl", db, "127.0.0.0/9=DE"}, 20000);
    ASSERT_EQ(made.exitStatus, 0) << made.err;

    SimProcess ordinary;
    ASSERT_TRUE(ordinary.start({"--count", "99", "--players", "6", "--bots", "1"}, 99))
        << ordinary.error();
    SimProcess blockedServer;
    const std::string requestLog = dir + "/requests.log";
    ASSERT_TRUE(blockedServer.start({"--players", "3", "--request-log", requestLog}))
        << blockedServer.error();
    // Sixty fakes on one address: 12 of 16 players, every one connected exactly an hour.
    SimProcess farm;
    ASSERT_TRUE(farm.start({"--bind", "127.0.0.2", "--count", "60", "--players", "12",
                            "--max-players", "16", "--player-time", "3600", "--name", "FREE VIP"},
                           60))
        << farm.error();
    // Twenty honest servers of one hoster on one address, busy with ordinary players.
    SimProcess hoster;
    ASSERT_TRUE(hoster.start({"--bind", "127.0.0.3", "--count", "20", "--players", "12",
                              "--max-players", "16", "--name", "Hosted"},
                             20))
        << hoster.error();

    std::map<std::string, std::string> group; // "host:port" -> group name
    std::string targets;
    auto add = [&](const std::string& host, const std::vector<int>& ports, const char* name) {
        for (int port : ports) {
            const std::string address = host + ":" + std::to_string(port);
            group[address] = name;
            targets += address + "\n";
        }
    };
    add("127.0.0.1", ordinary.ports(), "ordinary");
    add("127.0.0.1", blockedServer.ports(), "blocked");
    add("127.0.0.2", farm.ports(), "farm");
    add("127.0.0.3", hoster.ports(), "hoster");
    std::ofstream(dir + "/servers.txt") << targets;
    std::ofstream(dir + "/blocklist.txt")
        << "# the one server I never want to see\n127.0.0.1:" << blockedServer.port()
        << "  # home\n127.0.0.1/40\n";

    ProgramResult r = runProgram(
        "/bin/sh",
        {"-c",
         "ONDEL_SETTINGS=/nonexistent ONDEL_GEOIP_DB=\"$1\" exec \"$0\" scan \"$2\" --json "
         "--data-dir \"$3\" --timeout 2000",
         kCli, db, dir + "/servers.txt", dir},
        30000);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("blocklist.txt:3: not a blocklist entry, skipped: 127.0.0.1/40"),
              std::string::npos)
        << r.err;

    QJsonParseError error{};
    const QJsonArray all =
        QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.substr(0, 500);
    ASSERT_EQ(all.size(), 180);
    std::map<std::string, int> seen; // "group status marked?" -> count
    for (const auto& v : all) {
        const QJsonObject o = v.toObject();
        const std::string address = o.value("host").toString().toStdString() + ":" +
                                    std::to_string(o.value("port").toInt());
        const std::string status = o.value("status").toString().toStdString();
        const bool marked = o.contains("suspect");
        seen[group[address] + " " + status + (marked ? " suspect" : "")]++;
        if (marked) {
            EXPECT_TRUE(o.value("suspect").toString().startsWith(
                "all 12 players connected for the same time (36"))
                << address;
        }
        EXPECT_EQ(o.value("country").toString(), "DE") << address;
    }
    EXPECT_EQ(seen, (std::map<std::string, int>{{"ordinary up", 99},
                                                {"blocked blocked", 1},
                                                {"farm up suspect", 60},
                                                {"hoster up", 20}}));
    EXPECT_EQ(slurp(requestLog), "");
    std::filesystem::remove_all(dir);
}
