// ondel-cli rcon against the simulator, and against a silent socket that shows what goes out.
#include "../hlsim/SimProcess.h"

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <string>

using namespace ondel::hlsimtest;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";

std::string target(int port) {
    return "127.0.0.1:" + std::to_string(port);
}

QByteArray nextDatagram(QUdpSocket& socket) {
    if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(10000))
        return {};
    QByteArray bytes(static_cast<int>(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(bytes.data(), bytes.size());
    return bytes;
}

} // namespace

TEST(RconCli, PrintsTheServersAnswers) {
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--rcon-password", "se cret", "--name", "Console Test"})) << sim.error();

    ProgramResult status = runProgram(
        kCli, {"rcon", target(sim.port()), "--password", "se cret", "--wait", "700", "status"});
    EXPECT_EQ(status.exitStatus, 0) << status.err;
    EXPECT_NE(status.out.find("hostname:  Console Test"), std::string::npos) << status.out;

    // Several words make one command; words after the server may start with '-'.
    ProgramResult echo = runProgram(kCli, {"rcon", target(sim.port()), "--password", "se cret",
                                           "--wait", "700", "echo", "-x", "two  words"});
    EXPECT_EQ(echo.exitStatus, 0) << echo.err;
    EXPECT_EQ(echo.out, "-x two words\n");

    ProgramResult refused = runProgram(
        kCli, {"rcon", target(sim.port()), "--password", "wrong", "--wait", "700", "status"});
    EXPECT_EQ(refused.exitStatus, 0) << refused.err;
    EXPECT_EQ(refused.out, "Bad rcon_password.\n");
    EXPECT_EQ(refused.err.find("wrong"), std::string::npos); // the password is never echoed

    ProgramResult tooLong = runProgram(kCli, {"rcon", target(sim.port()), "--password", "se cret",
                                              "--wait", "700", std::string(1100, 'x')});
    EXPECT_EQ(tooLong.exitStatus, 1);
    EXPECT_NE(tooLong.err.find("longer than 1019 bytes"), std::string::npos) << tooLong.err;
}

TEST(RconCli, NoChallengeEndsWithStatusOneAndOldProtocolSendsWithoutNumber) {
    QUdpSocket silent;
    ASSERT_TRUE(silent.bind(QHostAddress::LocalHost, 0));
    int port = silent.localPort();

    ProgramResult none =
        runProgram(kCli, {"rcon", target(port), "--password", "pw", "--wait", "300", "status"});
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_NE(none.err.find("no rcon challenge number"), std::string::npos) << none.err;
    EXPECT_EQ(nextDatagram(silent), QByteArray("\xFF\xFF\xFF\xFF"
                                               "challenge rcon\n",
                                               20));
    EXPECT_FALSE(silent.hasPendingDatagrams()); // the command itself never went out

    QProcess old;
    old.start(QString::fromStdString(kCli),
              {"rcon", QString::fromStdString(target(port)), "--password", "", "--old-protocol",
               "--wait", "300", "status"});
    ASSERT_TRUE(old.waitForStarted(10000));
    EXPECT_EQ(nextDatagram(silent).mid(4), QByteArray("challenge rcon\n", 16));
    EXPECT_EQ(nextDatagram(silent), QByteArray("\xFF\xFF\xFF\xFFrcon \"\" status", 19));
    ASSERT_TRUE(old.waitForFinished(10000));
    EXPECT_EQ(old.exitCode(), 0);
}

TEST(RconCli, RefusesBadArguments) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"rcon", "127.0.0.1:27015", "status"},                     // no password
             {"rcon", "127.0.0.1:27015", "--password", "pw"},           // no command
             {"rcon", "localhost:27015", "--password", "pw", "status"}, // not an address
             {"rcon", "127.0.0.1:27015", "--password", "pw", "--wait", "0", "status"},
         }) {
        ProgramResult r = runProgram(kCli, args, 10000);
        EXPECT_EQ(r.exitStatus, 2) << args.back();
    }
}
