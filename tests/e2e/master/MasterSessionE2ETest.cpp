// The master session of the real program: ondel (offscreen) watches an hlsim server and reports
// to a mastersim master server given through ONDEL_MASTER_HOST.
#include "../../QtWait.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using ondel::test::waitFor;

namespace {

constexpr int kWaitMs = 15000;

const QString kUserIdZero = QStringLiteral("00000400000000000000FD0000000000");
const QString kVersion = QStringLiteral("01000A0000000600000076302E322E35FD0000000000");

// A child process that announces "<name> listening on 127.0.0.1:PORT" and may log more lines.
class Tool {
public:
    ~Tool() { stop(); }
    bool start(const QString& program, const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        m_process.setProcessEnvironment(env);
        m_process.start(program, args);
        return m_process.waitForStarted(10000);
    }
    // Waits for the listening line; returns the port (0 when it did not come).
    int waitForPort() {
        static const QRegularExpression re(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        int port = 0;
        waitFor(
            [&] {
                for (const QString& line : lines()) {
                    auto m = re.match(line);
                    if (m.hasMatch())
                        port = m.captured(1).toInt();
                }
                return port != 0 || m_process.state() == QProcess::NotRunning;
            },
            kWaitMs);
        return port;
    }
    QStringList lines() {
        m_process.waitForReadyRead(10);
        m_out += m_process.readAllStandardOutput();
        return QString::fromLatin1(m_out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    // What the process wrote to stderr so far (sanitizer reports land there).
    QString errors() {
        m_err += m_process.readAllStandardError();
        return QString::fromLocal8Bit(m_err);
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

bool cleanReport(const QString& errors) {
    return !errors.contains(QStringLiteral("AddressSanitizer")) &&
           !errors.contains(QStringLiteral("runtime error"));
}

QStringList postedBodies(Tool& master) {
    static const QString post = QStringLiteral("request POST /cgi-bin/master/server.pl ");
    QStringList bodies;
    for (const QString& line : master.lines())
        if (line.startsWith(post))
            bodies << line.mid(post.size());
    return bodies;
}

class MasterSessionE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_hlsim.start(QStringLiteral(ONDEL_BIN_DIR "/tools/hlsim/hlsim"),
                                  {"--port", "0", "--quiet"}));
        m_hlsimPort = m_hlsim.waitForPort();
        ASSERT_NE(m_hlsimPort, 0);
    }
    bool startMaster(const QStringList& args) {
        if (!m_master.start(QStringLiteral(ONDEL_BIN_DIR "/tools/mastersim/mastersim"),
                            QStringList{"--port", "0"} + args))
            return false;
        m_masterPort = m_master.waitForPort();
        return m_masterPort != 0;
    }
    bool startOndel(Tool& ondel, const QString& masterHost) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("ONDEL_SETTINGS"), settingsFile());
        env.insert(QStringLiteral("ONDEL_MASTER_HOST"), masterHost);
        return ondel.start(QStringLiteral(ONDEL_BIN_DIR "/src/app/ondel"),
                           {QStringLiteral("--data-dir"), m_dir.path(),
                            QStringLiteral("127.0.0.1:%1").arg(m_hlsimPort)},
                           env);
    }
    QString settingsFile() const { return m_dir.path() + QStringLiteral("/Ondel.conf"); }
    int storedId() const {
        QSettings s(settingsFile(), QSettings::IniFormat);
        return s.value(QStringLiteral("Master Server/ID"), -99).toInt();
    }

    QTemporaryDir m_dir;
    Tool m_hlsim;
    Tool m_master;
    int m_hlsimPort = 0;
    int m_masterPort = 0;
};

} // namespace

TEST_F(MasterSessionE2E, OneSessionPerRunWithTheExactBodiesAndTheAssignedId) {
    ASSERT_TRUE(startMaster({"--assign-id", "4242", "--nop", "--split-writes", "2"}));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(m_masterPort);
    {
        Tool ondel;
        ASSERT_TRUE(startOndel(ondel, host));
        ASSERT_TRUE(waitFor([&] { return postedBodies(m_master).size() >= 2; }, kWaitMs))
            << "no session started";
        EXPECT_EQ(postedBodies(m_master), (QStringList{kUserIdZero, kVersion}));
        ASSERT_TRUE(waitFor([&] { return storedId() == 4242; }, kWaitMs));
        // The server keeps answering every second; no further session may start. (Absence can
        // only be watched for a while.)
        waitFor([&] { return postedBodies(m_master).size() > 2; }, 3000);
        EXPECT_EQ(postedBodies(m_master).size(), 2);
        EXPECT_TRUE(ondel.running());
        EXPECT_TRUE(cleanReport(ondel.errors())) << ondel.errors().toStdString();
    }
    {
        Tool ondel;
        ASSERT_TRUE(startOndel(ondel, host));
        ASSERT_TRUE(waitFor([&] { return postedBodies(m_master).size() >= 4; }, kWaitMs));
        EXPECT_EQ(postedBodies(m_master).mid(2),
                  (QStringList{QStringLiteral("00000400000092100000FD0000000000"), kVersion}));
    }
}

TEST_F(MasterSessionE2E, StoppedMasterLeavesTheProgramRunning) {
    ASSERT_TRUE(startMaster({}));
    const QString host = QStringLiteral("127.0.0.1:%1").arg(m_masterPort);
    m_master.stop(); // nothing listens there any more
    Tool ondel;
    ASSERT_TRUE(startOndel(ondel, host));
    // The session ran (its probe leaves 1) and failed silently; the program goes on.
    ASSERT_TRUE(waitFor([&] { return storedId() == 1; }, kWaitMs));
    waitFor([&] { return !ondel.running(); }, 2000);
    EXPECT_TRUE(ondel.running());
    EXPECT_TRUE(cleanReport(ondel.errors())) << ondel.errors().toStdString();
}
