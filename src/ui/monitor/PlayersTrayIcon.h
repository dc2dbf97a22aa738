#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace ondel {

class MonitorDialog;
struct ServerEntry;

// The optional tray icon of the monitor: the monitored server's player count drawn on the
// program's icon, "players/max" and the server's name in its tooltip, updated at every refresh
// cycle; a click brings the monitor to the front. On while the setting TrayIcon is 1; the
// monitor's command "Players in the Tray Icon" turns it on and off. Where the desktop has no
// system tray nothing is shown, but the tooltip and the icon are still kept up to date.
// Owned by the monitor. GUI thread only.
class PlayersTrayIcon : public QObject {
    Q_OBJECT
public:
    explicit PlayersTrayIcon(MonitorDialog& monitor);
    ~PlayersTrayIcon() override;

    // Creates one for the monitor, enables its command and applies the stored setting.
    static PlayersTrayIcon* install(MonitorDialog& monitor);

    // Turns the icon on or off and stores the choice.
    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }

    // Reads the monitor's server again (the refresh cycle calls it).
    void update();
    QString toolTip() const { return m_toolTip; }
    QIcon icon() const { return m_icon; }
    // The tray's icon while one is shown; null without a system tray or while off.
    QSystemTrayIcon* trayIcon() const { return m_tray; }

    // The tooltip for a server: a first line of the program's own, so that no desktop reads the
    // server's text as markup, then the server's name.
    static QString toolTipFor(const ServerEntry& server);
    // base with the player count in a badge in the lower right corner (red when full).
    static QIcon iconFor(const QIcon& base, const ServerEntry& server);

private:
    MonitorDialog& m_monitor;
    bool m_enabled = false;
    QString m_toolTip;
    QIcon m_icon;
    QSystemTrayIcon* m_tray = nullptr;
};

} // namespace ondel
