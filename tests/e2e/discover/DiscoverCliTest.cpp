// ondel-cli discover against steamapisim, the stand-in of the Steam Web API on loopback.
#include "../../QtWait.h"
#include "serverlist/ListFiles.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ondel;

namespace {

const QString kCli = QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel-cli");
const QString kSim = QStringLiteral(ONDEL_BIN_DIR "/tools/steamapisim/steamapisim");
const QString kKey = QStringLiteral("C0FFEE00C0FFEE00C0FFEE00C0FFEE00");

// The stand-in, started with args; stopped when the object ends.
class Sim {
public:
    explicit Sim(const QStringList& args) {
        m_process.start(kSim, args);
        static const QRegularExpression re(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        test::waitFor([&] {
            m_process.waitForReadyRead(50);
            m_out += m_process.readAllStandardOutput();
            auto m = re.match(QString::fromLatin1(m_out));
            if (m.hasMatch())
                m_port = m.captured(1).toInt();
            return m_port != 0 || m_process.state() == QProcess::NotRunning;
        });
    }
    ~Sim() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    int port() const { return m_port; }
    QByteArray log() {
        m_process.waitForReadyRead(100);
        m_out += m_process.readAllStandardOutput();
        return m_out;
    }

private:
    QProcess m_process;
    QByteArray m_out;
    int m_port = 0;
};

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// ondel-cli discover with args, the API at url and the given key (each from the settings file
// when empty) and a settings file of its own.
CliRun discover(const QStringList& args, const QString& url, const QString& key,
                const QString& settingsFile) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (url.isEmpty())
        env.remove(QStringLiteral("ONDEL_STEAM_API_URL"));
    else
        env.insert(QStringLiteral("ONDEL_STEAM_API_URL"), url);
    env.insert(QStringLiteral("ONDEL_SETTINGS"), settingsFile);
    if (key.isEmpty())
        env.remove(QStringLiteral("ONDEL_STEAM_API_KEY"));
    else
        env.insert(QStringLiteral("ONDEL_STEAM_API_KEY"), key);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(kCli, QStringList{QStringLiteral("discover")} + args);
    CliRun r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

TEST(DiscoverCli, JsonListsTheUsableServersOnceAndTheKeyStaysOutOfTheLog) {
    QTemporaryDir dir;
    Sim sim({QStringLiteral("--servers"), QStringLiteral("40"), QStringLiteral("--key"), kKey});
    ASSERT_NE(sim.port(), 0);
    CliRun r = discover({QStringLiteral("--json"), QStringLiteral("--limit"), QStringLiteral("12"),
                         QStringLiteral("--game"), QStringLiteral("czero")},
                        sim.url(), kKey, dir.filePath(QStringLiteral("none.conf")));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QJsonParseError error;
    QJsonArray servers = QJsonDocument::fromJson(r.out, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.constData();
    // 12 entries asked for: the link-local one, 0.0.0.0 and a repeat are among them.
    ASSERT_EQ(servers.size(), 9);
    QSet<QString> seen;
    for (const auto& v : servers) {
        QJsonObject s = v.toObject();
        QString address = s[QStringLiteral("host")].toString() + QLatin1Char(':') +
                          QString::number(s[QStringLiteral("port")].toInt());
        EXPECT_TRUE(address.startsWith(QStringLiteral("127.0.0."))) << address.toStdString();
        EXPECT_FALSE(seen.contains(address)) << address.toStdString();
        seen.insert(address);
        EXPECT_EQ(s[QStringLiteral("gameDir")].toString(), QStringLiteral("czero"));
        EXPECT_EQ(s[QStringLiteral("maxPlayers")].toInt(), 16);
        for (const char* field :
             {"name", "map", "players", "bots", "secure", "dedicated", "os", "version"})
            EXPECT_TRUE(s.contains(QLatin1String(field))) << field;
    }
    EXPECT_EQ(servers[1].toObject()[QStringLiteral("name")].toString(),
              QStringLiteral("Quote \"q\" caf\u00e9 <b>bold</b>"));
    QByteArray log = sim.log();
    EXPECT_TRUE(log.contains("?key=***&filter=%5Cappid%5C80&limit=12")) << log.constData();
    EXPECT_FALSE(log.contains(kKey.toLatin1()));
}

TEST(DiscoverCli, FailuresExitTwoWithAHelpfulMessageAndNeverTheKey) {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("none.conf"));
    const QString wrongKey = QStringLiteral("BADBADBADBAD0000");
    Sim keyed({QStringLiteral("--key"), kKey});
    Sim limited({QStringLiteral("--status"), QStringLiteral("429")});
    Sim garbage({QStringLiteral("--garbage")});
    Sim truncated({QStringLiteral("--truncate")});
    int closedPort = 0;
    {
        Sim gone({});
        closedPort = gone.port();
    }
    struct Case {
        QString url;
        QString key;
        const char* mentions;
    };
    const Case cases[] = {
        {keyed.url(), wrongKey, "refused the key (HTTP 403)"},
        {keyed.url(), QString(), "steamcommunity.com/dev/apikey"},
        {limited.url(), kKey, "too many calls (HTTP 429)"},
        {garbage.url(), kKey, "not valid JSON"},
        {truncated.url(), kKey, "not valid JSON"},
        {QStringLiteral("http://127.0.0.1:%1").arg(closedPort), kKey, "Cannot reach"},
    };
    for (const auto& c : cases) {
        CliRun r = discover({}, c.url, c.key, settings);
        EXPECT_EQ(r.exitCode, 1) << c.mentions;
        EXPECT_TRUE(r.err.contains(c.mentions)) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
        if (!c.key.isEmpty()) {
            EXPECT_FALSE(r.err.contains(c.key.toLatin1()));
        }
    }
    EXPECT_TRUE(discover({}, keyed.url(), QString(), settings).err.contains(settings.toUtf8()));
}

TEST(DiscoverCli, SaveListAddsNewServersOnlyWithTheKeyAndTheMirrorFromTheSettingsFile) {
    QTemporaryDir dir;
    Sim sim({QStringLiteral("--servers"), QStringLiteral("8"), QStringLiteral("--key"), kKey});
    const QString settings = dir.filePath(QStringLiteral("Ondel.conf"));
    QFile ini(settings);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Settings]\nHLDir=/games/hl\nSteamApiKey=" + kKey.toLatin1() +
              "\nSteamApiUrl=" + sim.url().toLatin1() + "/\n");
    ini.close();
    const QStringList save{QStringLiteral("--save-list"), QStringLiteral("found"),
                           QStringLiteral("--data-dir"),  dir.path(),
                           QStringLiteral("--map"),       QStringLiteral("de_dust2")};

    CliRun first = discover(save, QString(), QString(), settings);
    ASSERT_EQ(first.exitCode, 0) << first.err.constData();
    std::string path = dir.filePath(QStringLiteral("found.sl06")).toStdString();
    ListFileRead read = readListFile(path);
    ASSERT_EQ(read.status, ListFileStatus::Read);
    ASSERT_EQ(read.contents.entries.size(), 2u); // servers 1 and 5 run de_dust2
    EXPECT_EQ(read.contents.name, std::optional<std::string>("found"));

    // A wider search adds the rest, and none twice.
    CliRun second = discover({QStringLiteral("--save-list"), QStringLiteral("found"),
                              QStringLiteral("--data-dir"), dir.path()},
                             QString(), QString(), settings);
    ASSERT_EQ(second.exitCode, 0) << second.err.constData();
    read = readListFile(path);
    ASSERT_EQ(read.contents.entries.size(), 8u);
    EXPECT_EQ(read.contents.entries[0].address, (ServerAddress{"127.0.0.1", 27015}));
    EXPECT_EQ(read.contents.entries[0].hostName, "Stand-in server 1");

    // A list file that cannot be read is left as it is.
    QFile broken(dir.filePath(QStringLiteral("broken.sl06")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("\x06\x00\x00", 3));
    broken.close();
    CliRun refused = discover({QStringLiteral("--save-list"), QStringLiteral("broken"),
                               QStringLiteral("--data-dir"), dir.path()},
                              QString(), QString(), settings);
    EXPECT_EQ(refused.exitCode, 1);
    ASSERT_TRUE(broken.open(QIODevice::ReadOnly));
    EXPECT_EQ(broken.readAll(), QByteArray("\x06\x00\x00", 3));

    // Without --data-dir the list goes where the window keeps its lists, a private folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    CliRun defaulted = discover({QStringLiteral("--save-list"), QStringLiteral("found")}, sim.url(),
                                QString(), settings);
    qunsetenv("XDG_DATA_HOME");
    ASSERT_EQ(defaulted.exitCode, 0) << defaulted.err.constData();
    const QString folder = dir.filePath(QStringLiteral("data/Ondel"));
    EXPECT_EQ(readListFile((folder + QStringLiteral("/found.sl06")).toStdString())
                  .contents.entries.size(),
              8u);
    EXPECT_EQ(QFile::permissions(folder) & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther),
              QFile::Permissions());
}

TEST(DiscoverCli, PastTheCapTheSearchIsSplitAndEveryServerComesOnce) {
    QTemporaryDir dir;
    // 25,000 servers, 10,000 at most in one reply: the first reply is full.
    Sim sim({QStringLiteral("--servers"), QStringLiteral("25000"), QStringLiteral("--cap"),
             QStringLiteral("10000")});
    ASSERT_NE(sim.port(), 0);
    CliRun r =
        discover({QStringLiteral("--game"), QStringLiteral("cstrike"), QStringLiteral("--limit"),
                  QStringLiteral("30000"), QStringLiteral("--json")},
                 sim.url(), kKey, dir.filePath(QStringLiteral("none.conf")));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QJsonParseError error;
    const QJsonArray servers = QJsonDocument::fromJson(r.out, &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    QSet<QString> seen;
    for (const auto& v : servers) {
        const QJsonObject s = v.toObject();
        seen.insert(s[QStringLiteral("host")].toString() + QLatin1Char(':') +
                    QString::number(s[QStringLiteral("port")].toInt()));
    }
    EXPECT_EQ(servers.size(), 25000);
    EXPECT_EQ(seen.size(), 25000);
    // Whole game, then secure and not, then each by Linux and not: seven requests, all counted.
    const QByteArray log = sim.log();
    EXPECT_EQ(log.count("request GET"), 7) << log.constData();
    EXPECT_TRUE(log.contains("%5Cnor%5C2%5Csecure%5C1%5Clinux%5C1&limit=10000")) << log.constData();
    EXPECT_TRUE(r.err.contains("7 requests to the Web API")) << r.err.constData();

    // Asking for fewer than a reply holds is one request, as ever.
    r = discover({QStringLiteral("--limit"), QStringLiteral("100000"), QStringLiteral("--game"),
                  QStringLiteral("cstrike"), QStringLiteral("--map"), QStringLiteral("crossfire")},
                 sim.url(), kKey, dir.filePath(QStringLiteral("none.conf")));
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.contains("6250 servers found")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("1 requests to the Web API")) << r.err.constData();
}
