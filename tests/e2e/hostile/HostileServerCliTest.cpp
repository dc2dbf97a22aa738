// ondel-cli against servers and files that mean harm, all on loopback: terminal escapes in
// server text, replies cut short before the whole one, endless console output, broadcast
// targets and a small file that claims millions of entries.
#include "../hlsim/SimProcess.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using ondel::hlsimtest::ProgramResult;
using ondel::hlsimtest::runProgram;
using ondel::hlsimtest::SimProcess;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";

// Control characters a terminal acts on: C0 (but newline), DEL, and C1 as UTF-8 (C2 80..9F).
std::string controlsIn(const std::string& out) {
    std::string found;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        const bool c1 = c == 0xC2 && i + 1 < out.size() &&
                        static_cast<unsigned char>(out[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(out[i + 1]) < 0xA0;
        if ((c < 0x20 && c != '\n') || c == 0x7F || c1)
            found += std::to_string(c) + " at " + std::to_string(i) + "; ";
    }
    return found;
}

} // namespace

TEST(HostileServerCli, QueryPrintsNoTerminalControlFromTheServer) {
    const std::string title = "\x1B]0;owned\x07";
    const std::string clipboard = "\x1B]52;c;aGk=\x07";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--name", "Evil" + title + "\x1B[2J", "--map",
                           "map\xC2\x9B"
                           "31m",
                           "--rule", "x" + clipboard + "=\xC2\x85\x7F", "--players", "2"}))
        << sim.error();
    for (bool json : {false, true}) {
        std::vector<std::string> args = {"query", sim.address(), "--interval", "200"};
        if (json)
            args.push_back("--json");
        ProgramResult r = runProgram(kCli, args, 20000);
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(controlsIn(r.out), "") << r.out;
        EXPECT_EQ(controlsIn(r.err), "") << r.err;
        if (!json) {
            EXPECT_NE(r.out.find("hostName: Evil?]0;owned??[2J\n"), std::string::npos) << r.out;
        } else {
            // JSON escapes them: the text itself comes through unchanged.
            QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
            EXPECT_EQ(o.value("hostName").toString().toStdString(), "Evil" + title + "\x1B[2J");
        }
    }
}

TEST(HostileServerCli, RepliesCutShortBeforeTheWholeOnesStillGiveTheAnswer) {
    for (const char* dialect : {"legacy", "steam"}) {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--cut-first", "--dialect", dialect, "--name", "Whole Server",
                               "--players", "3", "--rule", "mp_timelimit=25"}))
            << sim.error();
        ProgramResult r = runProgram(
            kCli, {"query", sim.address(), "--json", "--timeout", "8000", "--interval", "200"},
            20000);
        ASSERT_EQ(r.exitStatus, 0) << dialect << ": " << r.err;
        QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
        EXPECT_EQ(o.value("hostName").toString(), "Whole Server") << dialect;
        EXPECT_EQ(o.value("playerList").toArray().size(), 3) << dialect;
        EXPECT_EQ(o.value("timeLimit").toInt(), 25) << dialect;
    }
}

TEST(HostileServerCli, RconEndsAtItsTotalLimitWhenTheServerPrintsWithoutEnd) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rcon-password", "pw", "--rcon-endless"})) << sim.error();
    ProgramResult r = runProgram(kCli,
                                 {"rcon", sim.address(), "--password", "pw", "--wait", "1000",
                                  "--total", "1500", "echo", "hello"},
                                 20000);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("hello\n"), std::string::npos);
    EXPECT_NE(r.out.find("endless output line"), std::string::npos);
    EXPECT_NE(r.err.find("output cut after 1500 ms"), std::string::npos) << r.err;
}

TEST(HostileServerCli, BroadcastAndMulticastAreRefusedAndPaddedDottedQuadsAnswer) {
    for (const char* refused : {"255.255.255.255:27015", "224.0.0.1:27015", "0.0.0.0:27015"}) {
        ProgramResult q = runProgram(kCli, {"query", refused, "--timeout", "500"});
        EXPECT_EQ(q.exitStatus, 2) << refused;
        EXPECT_NE(q.err.find("nothing is sent to it"), std::string::npos) << q.err;
        ProgramResult r = runProgram(kCli, {"rcon", refused, "--password", "pw", "status"});
        EXPECT_EQ(r.exitStatus, 2) << refused;
        EXPECT_NE(r.err.find("nothing is sent to it"), std::string::npos) << r.err;
    }
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--name", "Padded"})) << sim.error();
    ProgramResult q = runProgram(
        kCli,
        {"query", "127.000.000.001:" + std::to_string(sim.port()), "--json", "--interval", "200"},
        20000);
    ASSERT_EQ(q.exitStatus, 0) << q.err;
    QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(q.out)).object();
    EXPECT_EQ(o.value("hostName").toString(), "Padded");
    EXPECT_EQ(o.value("host").toString(), "127.0.0.1");
}

TEST(HostileServerCli, ASmallListClaimingMillionsOfEntriesIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("huge.sl06"));
    // Version 1, the long count 2,000,000, then 2,000,000 empty entries (no host, port 0).
    constexpr std::uint32_t kEntries = 2000000;
    QByteArray bytes;
    auto u32 = [&bytes](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    u32(1);
    bytes.append("\xFF\xFF", 2);
    u32(kEntries);
    bytes.append(QByteArray(5 * static_cast<qsizetype>(kEntries), '\0'));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
    f.close();
    for (bool json : {false, true}) {
        std::vector<std::string> args = {"list", path.toStdString()};
        if (json)
            args.push_back("--json");
        ProgramResult r = runProgram(kCli, args, 30000);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_TRUE(r.out.empty()) << r.out.substr(0, 200);
        EXPECT_NE(r.err.find("more than 250000 entries"), std::string::npos) << r.err;
    }
}
