#pragma once

#include "notify/Notifier.h"

#include <QDBusConnection>
#include <QObject>

class QSystemTrayIcon;

namespace ondel {

// Desktop notifications: org.freedesktop.Notifications on the session bus where there is one;
// where the bus is missing or the call fails (no notification service), the message of a tray
// icon. Texts are shown as plain text: markup characters in the body are escaped, since most
// notification services read the body as markup. GUI thread only.
class DesktopNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    // The application id sent as the "desktop-entry" hint, so the desktop shows our name/icon.
    static constexpr const char* kDesktopEntry = "io.github.ondel.Ondel";

    explicit DesktopNotifier(QObject* parent = nullptr);
    // On another bus (tests run a private one).
    DesktopNotifier(const QDBusConnection& bus, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    void notify(const std::string& title, const std::string& body) override;

signals:
    // A message went to the tray icon instead (the bus or its service is missing).
    void shownInTray(const QString& title, const QString& body);

private:
    void showInTray(const QString& title, const QString& body);

    QDBusConnection m_bus;
    QSystemTrayIcon* m_tray = nullptr;
};

} // namespace ondel
