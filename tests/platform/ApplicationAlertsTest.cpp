// The window program's alerts end to end on loopback: a server of a list with rules stops
// answering and comes back; the application posts one "down" and then one "up" to a webhook.
#include "PlatformTestSupport.h"
#include "app/Application.h"

#include "../core/fakes/FakePrompt.h"
#include "alerts/AlertSettings.h"
#include "platform/QtSettingsStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace ondel;

namespace {

// Takes HTTP POSTs on 127.0.0.1 and keeps their bodies; answers 204.
class WebhookStandIn {
public:
    WebhookStandIn() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { read(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/hook").arg(m_server.serverPort());
    }
    std::vector<QJsonObject> bodies;

private:
    void read(QTcpSocket* s) {
        QByteArray& got = m_pending[s];
        got += s->readAll();
        const qsizetype end = got.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray& line : got.left(end).split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        if (got.size() < end + 4 + length)
            return;
        bodies.push_back(QJsonDocument::fromJson(got.mid(end + 4, length)).object());
        m_pending.erase(s);
        s->write("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    std::map<QTcpSocket*, QByteArray> m_pending;
};

QByteArray infoReply() {
    const auto bytes = test::legacyInfoReply("Alerted", "crossfire");
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

} // namespace

TEST(ApplicationAlerts, AServerThatStopsAnsweringGivesOneDownAndThenOneUpWebhook) {
    test::app();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString conf = dir.path() + "/Ondel.conf";
    qputenv("ONDEL_SETTINGS", conf.toLocal8Bit());
    WebhookStandIn hook;
    QtSettingsStore store(conf);
    AlertChoice downAfterTwo;
    downAfterTwo.downAfter = 2;
    writeListAlerts(store, ServerListSet::kCustomListName, downAfterTwo);
    writeAlertTargets(store, hook.url().toStdString(), "");

    QUdpSocket server;
    ASSERT_TRUE(server.bind(QHostAddress::LocalHost, 0));
    bool answering = true;
    QObject::connect(&server, &QUdpSocket::readyRead, [&] {
        while (server.hasPendingDatagrams()) {
            QHostAddress from;
            quint16 port = 0;
            server.readDatagram(nullptr, 0, &from, &port);
            if (answering)
                server.writeDatagram(infoReply(), from, port);
        }
    });

    test::FakePrompt prompt;
    {
        Application application(prompt, dir.path().toStdString());
        ASSERT_TRUE(application.start());
        ServerEntry e;
        e.address = {"127.0.0.1", server.localPort()};
        application.lists().at(0).entries().push_back(e);
        application.reloadAlerts(); // the once-a-second look would find the new server as well
        application.engine().setCurrentServer(e);
        application.engine().setSchedule(ServerQuery::everyTick());
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] { application.engine().queryTick(); });
        ticks.start(200);

        EXPECT_TRUE(test::waitFor([&] { return application.engine().replyCounts().info >= 2; }));
        answering = false;
        EXPECT_TRUE(test::waitFor([&] { return !hook.bodies.empty(); }, 20000));
        answering = true;
        EXPECT_TRUE(test::waitFor([&] { return hook.bodies.size() >= 2; }, 20000));
        // Answers go on; nothing more is said while the server stays up.
        const auto infos = application.engine().replyCounts().info;
        EXPECT_TRUE(
            test::waitFor([&] { return application.engine().replyCounts().info >= infos + 3; }));
    }
    qunsetenv("ONDEL_SETTINGS");
    ASSERT_EQ(hook.bodies.size(), 2u);
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.localPort());
    EXPECT_EQ(hook.bodies[0]["event"].toString(), "down");
    EXPECT_EQ(hook.bodies[1]["event"].toString(), "up");
    for (const QJsonObject& body : hook.bodies) {
        EXPECT_EQ(body["server"].toString(), address);
        EXPECT_EQ(body["name"].toString(), "Alerted");
    }
}
