// ondel-cli decode on captured reply datagrams.
#include "../hlsim/SimProcess.h"

#include "common/ByteWriter.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using ondel::ByteWriter;
using ondel::hlsimtest::ProgramResult;
using ondel::hlsimtest::runProgram;

namespace {

const std::string kCli = ONDEL_BIN_DIR "/src/app/ondel-cli";

class DecodeCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    ProgramResult decode(const std::vector<std::uint8_t>& bytes, bool json = true) {
        std::string path = dir.path().toStdString() + "/capture" + std::to_string(++files) + ".bin";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        std::vector<std::string> args = {"decode", path};
        if (json)
            args.push_back("--json");
        return runProgram(kCli, args, 10000);
    }
    static QJsonObject object(const ProgramResult& r) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
    }
    static ByteWriter reply(char type) {
        ByteWriter w;
        w.u32(0xFFFFFFFFu);
        w.u8(static_cast<std::uint8_t>(type));
        return w;
    }

    QTemporaryDir dir;
    int files = 0;
};

std::vector<std::uint8_t> infoBytes() {
    ByteWriter w;
    w.u32(0xFFFFFFFFu);
    w.u8('m');
    for (const char* s :
         {"1.2.3.4:27015", "Caf\xE9 Server", "de_dust", "cstrike", "Counter-Strike"})
        w.cString(s);
    for (int b : {7, 20, 47, int('d'), int('l'), 1, 0})
        w.u8(static_cast<std::uint8_t>(b));
    return w.take();
}

} // namespace

TEST_F(DecodeCli, InfoReplyGivesTheRecordFields) {
    ProgramResult r = decode(infoBytes());
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    QJsonObject o = object(r);
    EXPECT_EQ(o.value("type").toString(), "m");
    EXPECT_EQ(o.value("hostName").toString(),
              QString::fromUtf8("Caf\xC3\xA9 Server")); // cp1252 shown as UTF-8
    EXPECT_EQ(o.value("players").toInt(), 7);
    EXPECT_EQ(o.value("maxPlayers").toInt(), 20);
    EXPECT_EQ(o.value("passwordRequired").toInt(), 1);

    ProgramResult text = decode(infoBytes(), false);
    ASSERT_EQ(text.exitStatus, 0);
    EXPECT_NE(text.out.find("map: de_dust\n"), std::string::npos) << text.out;
}

TEST_F(DecodeCli, RulesPlayersPrintAndChallenges) {
    ByteWriter rules = reply('E');
    rules.u16(0);
    for (const char* s : {"mp_timeleft", "abc", "mp_timelimit", "20.000000", "sv_gravity", "800"})
        rules.cString(s);
    QJsonObject o = object(decode(rules.take()));
    EXPECT_EQ(o.value("rules").toArray().size(), 3);
    EXPECT_EQ(o.value("timeLeft").toInt(), -1);
    EXPECT_EQ(o.value("timeLimit").toInt(), 20);

    ByteWriter players = reply('D');
    players.u8(2);
    players.u8(1);
    players.cString("alice");
    players.i32(12);
    players.f32(59.9f);
    players.u8(1); // out of sequence: only alice
    players.cString("bob");
    players.i32(1);
    players.f32(1);
    o = object(decode(players.take()));
    ASSERT_EQ(o.value("playerList").toArray().size(), 1);
    EXPECT_EQ(o.value("playerList").toArray()[0].toObject().value("time").toInt(), 59);

    ByteWriter print = reply('l');
    print.cString("hello\n");
    EXPECT_EQ(object(decode(print.take())).value("text").toString(), "hello\n");

    ByteWriter rcon;
    rcon.u32(0xFFFFFFFFu);
    rcon.bytes("challenge rcon 4711\n");
    o = object(decode(rcon.take()));
    EXPECT_EQ(o.value("type").toString(), "challenge rcon");
    EXPECT_EQ(o.value("challenge").toInteger(), 4711);

    ByteWriter steam = reply('A');
    steam.i32(-5);
    EXPECT_EQ(object(decode(steam.take())).value("challenge").toInteger(), -5);
}

TEST_F(DecodeCli, UnknownShortAndCutDataFailWithOneLine) {
    auto cut = infoBytes();
    cut.resize(cut.size() - 2); // before the mod flag
    ByteWriter unknown = reply('Z');
    ByteWriter fragment;
    fragment.u32(0xFFFFFFFEu);
    fragment.i32(1);
    fragment.u8(0x02);
    const std::vector<std::vector<std::uint8_t>> cases = {
        {}, {0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF, 0x00, 'm'}, cut, unknown.take(), fragment.take(),
    };
    for (const auto& bytes : cases) {
        ProgramResult r = decode(bytes);
        EXPECT_EQ(r.exitStatus, 1) << bytes.size();
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    ProgramResult missing =
        runProgram(kCli, {"decode", dir.path().toStdString() + "/nothing"}, 10000);
    EXPECT_EQ(missing.exitStatus, 1);
}
