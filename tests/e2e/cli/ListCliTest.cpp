// ondel-cli list on list files written by the program: JSON that an independent parser accepts,
// and a clear failure for a file that cannot be read completely.
#include "serverlist/ListFiles.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

using namespace ondel;

namespace {

struct ProcessRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProcessRun runProcess(const QString& program, const QStringList& args,
                      const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    ProcessRun r;
    if (!p.waitForStarted(10000))
        return r;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(10000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

const QString kCli = QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel-cli");

const std::string kListName = "Clan \"list\" caf\xC3\xA9";

ServerList sampleList(const std::string& path) {
    ServerList list(path, path, kListName);
    ServerEntry a;
    a.address = {"10.0.0.5", 27015};
    a.hostName = "Server\twith \x01 control and \xE9 (not UTF-8)";
    a.password = "pw";
    a.savePassword = true;
    a.averagePing = 12.5f;
    a.lastConnected = 13300000000000;
    a.rules = {{"mp_timelimit", "30"}, {"sv_password", ""}};
    a.playerList = {{1, "alice", 10, 300}, {2, "b\\o\"b", -1, 2}};
    ServerEntry b;
    b.address = {"game.example.org", 27016};
    b.password = "not saved";
    list.entries() = {a, b};
    return list;
}

} // namespace

TEST(ListCli, JsonOfASavedListIsValidAndComplete) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string path = dir.filePath(QStringLiteral("clan.sl06")).toStdString();
    ASSERT_TRUE(writeList(sampleList(path), path));

    ProcessRun cli = runProcess(
        kCli, {QStringLiteral("list"), QString::fromStdString(path), QStringLiteral("--json")});
    ASSERT_EQ(cli.exitCode, 0) << cli.err.constData();
    EXPECT_TRUE(cli.err.isEmpty());

    QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    ProcessRun check =
        runProcess(python, {QStringLiteral("-m"), QStringLiteral("json.tool")}, cli.out);
    EXPECT_EQ(check.exitCode, 0) << check.err.constData() << "\n" << cli.out.constData();

    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(cli.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    QJsonObject top = doc.object();
    EXPECT_EQ(top.keys(), (QStringList{"entries", "formatVersion", "name"}));
    EXPECT_EQ(top.value("formatVersion").toInt(), 6);
    EXPECT_EQ(top.value("name").toString(), QString::fromUtf8("Clan \"list\" caf\xC3\xA9"));
    QJsonArray entries = top.value("entries").toArray();
    ASSERT_EQ(entries.size(), 2);
    QJsonObject a = entries[0].toObject();
    EXPECT_EQ(a.value("host").toString(), "10.0.0.5");
    EXPECT_EQ(a.value("port").toInt(), 27015);
    EXPECT_EQ(a.value("password").toString(), "pw");
    EXPECT_EQ(a.value("averagePing").toDouble(), 12.5);
    EXPECT_EQ(a.value("lastConnected").toInteger(), 13300000000000);
    EXPECT_EQ(a.value("reservedSlots").toInt(), -1);
    EXPECT_EQ(a.value("rules").toArray().size(), 2);
    EXPECT_EQ(a.value("playerList").toArray()[1].toObject().value("name").toString(), "b\\o\"b");
    EXPECT_EQ(entries[1].toObject().value("password").toString(), ""); // not saved
}

TEST(ListCli, PlainTextShowsEveryEntry) {
    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("clan.sl06")).toStdString();
    ASSERT_TRUE(writeList(sampleList(path), path));
    ProcessRun cli = runProcess(kCli, {QStringLiteral("list"), QString::fromStdString(path)});
    ASSERT_EQ(cli.exitCode, 0);
    EXPECT_TRUE(cli.out.startsWith("formatVersion: 6\n")) << cli.out.constData();
    EXPECT_TRUE(cli.out.contains("entries: 2\n"));
    EXPECT_TRUE(cli.out.contains("10.0.0.5:27015"));
    EXPECT_TRUE(cli.out.contains("game.example.org:27016"));
    EXPECT_TRUE(cli.out.contains("mp_timelimit = 30"));
}

TEST(ListCli, OutputThatCannotBeWrittenFailsListAndScan) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("clan.sl06"));
    ASSERT_TRUE(writeList(sampleList(list.toStdString()), list.toStdString()));
    const QString none = dir.filePath(QStringLiteral("none.txt"));
    std::ofstream(none.toStdString()) << "# no servers\n";
    const QStringList cases[] = {
        {"list", list}, {"list", list, "--json"}, {"scan", none}, {"scan", none, "--json"}};
    for (const QStringList& args : cases) {
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(kCli, args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1) << args.join(' ').toStdString();
    }
}

TEST(ListCli, UnreadableFileNamesFileAndOffset) {
    QTemporaryDir dir;
    std::string path = dir.filePath(QStringLiteral("cut.sl06")).toStdString();
    ASSERT_TRUE(writeList(sampleList(path), path));
    const std::size_t hostStart = 4 + 1 + kListName.size() + 2;
    std::vector<char> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    {
        // Cut inside the first entry's host text, which starts after the version, the name and
        // the count; its one-byte prefix is still there, its bytes are not.
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(hostStart + 3));
    }
    ProcessRun cli = runProcess(
        kCli, {QStringLiteral("list"), QString::fromStdString(path), QStringLiteral("--json")});
    EXPECT_EQ(cli.exitCode, 1);
    EXPECT_TRUE(cli.out.isEmpty());
    EXPECT_EQ(cli.err.count('\n'), 1) << cli.err.constData();
    EXPECT_TRUE(cli.err.contains(QByteArray::fromStdString(path))) << cli.err.constData();
    QByteArray offset = "offset " + QByteArray::number(static_cast<qulonglong>(hostStart + 1));
    EXPECT_TRUE(cli.err.contains(offset)) << cli.err.constData();

    ProcessRun missing =
        runProcess(kCli, {QStringLiteral("list"), dir.filePath(QStringLiteral("none.sl06"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("none.sl06"));
}
