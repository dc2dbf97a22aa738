// The notifier against a private session bus (dbus-daemon) with a stand-in notification service.
#include "ui/toolkit/DesktopNotifier.h"
#include "../../QtWait.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace ondel;
using ondel::test::waitFor;

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// Answers Notify with an id and keeps the calls.
class FakeNotificationService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify"))
            return false;
        calls.push_back(message);
        connection.send(message.createReply(QVariant::fromValue(7u)));
        return true;
    }
    std::vector<QDBusMessage> calls;
};

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                QStringLiteral("--print-address")});
        ASSERT_TRUE(m_daemon.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return m_daemon.canReadLine(); }));
        m_address = QString::fromLatin1(m_daemon.readLine()).trimmed();
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("notify-service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("notify-client"));
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
    QDBusConnection bus(const char* name) {
        return QDBusConnection::connectToBus(m_address, QLatin1String(name));
    }

    QProcess m_daemon;
    QString m_address;
};

} // namespace

TEST_F(DesktopNotifierTest, SendsNotifyOnTheBusWithTheBodyAsPlainTextElseUsesTheTray) {
    QDBusConnection service = bus("notify-service");
    ASSERT_TRUE(service.isConnected()) << m_address.toStdString();
    FakeNotificationService fake;
    ASSERT_TRUE(service.registerVirtualObject(kPath, &fake));
    ASSERT_TRUE(service.registerService(kService));

    DesktopNotifier notifier(bus("notify-client"));
    QStringList tray;
    QObject::connect(&notifier, &DesktopNotifier::shownInTray,
                     [&](const QString& title, const QString& body) { tray << title << body; });
    notifier.notify("A slot is free", "<b>Café</b> & co (127.0.0.1:27015)");
    ASSERT_TRUE(waitFor([&] { return fake.calls.size() == 1; }));
    const QList<QVariant> args = fake.calls[0].arguments();
    ASSERT_EQ(args.size(), 8);
    EXPECT_EQ(args[3].toString(), QStringLiteral("A slot is free"));
    EXPECT_EQ(args[4].toString(),
              QStringLiteral("&lt;b&gt;Café&lt;/b&gt; &amp; co (127.0.0.1:27015)"));
    EXPECT_EQ(args[2].toString(), QLatin1String(DesktopNotifier::kDesktopEntry));

    // Without the service on the bus the message goes to the tray icon instead. (Replies come
    // in order, so a wrong fallback for the first call would show up here too.)
    ASSERT_TRUE(service.unregisterService(kService));
    notifier.notify("Watched", "gordon");
    ASSERT_TRUE(waitFor([&] { return !tray.isEmpty(); }));
    EXPECT_EQ(tray, (QStringList{QStringLiteral("Watched"), QStringLiteral("gordon")}));
    EXPECT_EQ(fake.calls.size(), 1u);
}

TEST_F(DesktopNotifierTest, WithoutABusTheTrayShowsTheMessage) {
    DesktopNotifier notifier(QDBusConnection(QStringLiteral("not-connected")));
    QStringList tray;
    QObject::connect(&notifier, &DesktopNotifier::shownInTray,
                     [&](const QString& title, const QString& body) { tray << title << body; });
    notifier.notify("A slot is free", "x");
    EXPECT_EQ(tray, (QStringList{QStringLiteral("A slot is free"), QStringLiteral("x")}));
}
