#include "DesktopNotifier.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace ondel {

namespace {
constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr int kExpireMs = 8000;
constexpr int kTrayMessageMs = 8000;
} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : DesktopNotifier(QDBusConnection::sessionBus(), parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus) {}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const std::string& title, const std::string& body) {
    const QString summary = QString::fromStdString(title);
    const QString text = QString::fromStdString(body);
    if (!m_bus.isConnected()) {
        showInTray(summary, text);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                       QLatin1String(kService), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QLatin1String(kDesktopEntry));
    call << QApplication::applicationDisplayName() << 0u << QLatin1String(kDesktopEntry) << summary
         << text.toHtmlEscaped() << QStringList() << hints << kExpireMs;
    // Asynchronous: a slow or missing service never holds up the window.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, text] {
        if (watcher->isError())
            showInTray(summary, text);
        watcher->deleteLater();
    });
}

void DesktopNotifier::showInTray(const QString& title, const QString& body) {
    emit shownInTray(title, body);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        m_tray->setToolTip(QApplication::applicationDisplayName());
    }
    m_tray->show();
    m_tray->showMessage(title, body, QSystemTrayIcon::Information, kTrayMessageMs);
}

} // namespace ondel
