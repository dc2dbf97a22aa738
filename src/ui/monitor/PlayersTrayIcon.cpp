#include "PlayersTrayIcon.h"

#include "MonitorDialog.h"
#include "browser/BrowserRow.h"
#include "common/Text.h"
#include "settings/SettingsKeys.h"
#include "ui/toolkit/PlainText.h"

#include <QAction>
#include <QFont>
#include <QPainter>
#include <QSignalBlocker>
#include <QSystemTrayIcon>

#include <algorithm>

namespace ondel {

namespace {

bool answered(const ServerEntry& server) {
    return !server.address.empty() && server.infoValid;
}

QPixmap badged(const QIcon& base, int size, const ServerEntry& server) {
    QPixmap out(size, size);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    base.paint(&painter, out.rect());
    const QString number = QString::number(server.players);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(7, size * 9 / 16));
    painter.setFont(font);
    const int textWidth = painter.fontMetrics().horizontalAdvance(number);
    const int height = std::max(8, size * 5 / 8);
    const int width = std::min(size, std::max(height, textWidth + size / 8));
    const QRect badge(size - width, size - height, width, height);
    const bool full = server.maxPlayers != 0 && server.players >= server.maxPlayers;
    painter.setPen(Qt::NoPen);
    painter.setBrush(full ? QColor(200, 30, 30) : QColor(20, 120, 40));
    painter.drawRoundedRect(badge, height / 4.0, height / 4.0);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, number);
    return out;
}

} // namespace

PlayersTrayIcon::PlayersTrayIcon(MonitorDialog& monitor) : QObject(&monitor), m_monitor(monitor) {
    connect(&m_monitor, &MonitorDialog::ticked, this, &PlayersTrayIcon::update);
}

PlayersTrayIcon::~PlayersTrayIcon() = default;

PlayersTrayIcon* PlayersTrayIcon::install(MonitorDialog& monitor) {
    auto* tray = new PlayersTrayIcon(monitor);
    const bool on = settings::read(monitor.services().settings, settings::kTrayIcon) != 0;
    if (QAction* command = monitor.commandAction(MonitorDialog::kTrayIconCommand)) {
        command->setEnabled(true);
        command->setChecked(on);
        connect(command, &QAction::toggled, tray, &PlayersTrayIcon::setEnabled);
    }
    tray->setEnabled(on);
    return tray;
}

void PlayersTrayIcon::setEnabled(bool on) {
    SettingsStore& store = m_monitor.services().settings;
    if ((settings::read(store, settings::kTrayIcon) != 0) != on)
        settings::write(store, settings::kTrayIcon, on ? 1 : 0);
    if (QAction* command = m_monitor.commandAction(MonitorDialog::kTrayIconCommand)) {
        const QSignalBlocker quiet(command);
        command->setChecked(on);
    }
    m_enabled = on;
    if (!on) {
        delete m_tray;
        m_tray = nullptr;
        return;
    }
    if (m_tray == nullptr && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(this);
        connect(m_tray, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason != QSystemTrayIcon::Trigger)
                        return;
                    if (m_monitor.isMinimized())
                        m_monitor.showNormal();
                    m_monitor.raise();
                    m_monitor.activateWindow();
                });
    }
    update();
    if (m_tray != nullptr)
        m_tray->show();
}

void PlayersTrayIcon::update() {
    if (!m_enabled)
        return;
    const ServerEntry& server = m_monitor.workingCopy();
    m_toolTip = toolTipFor(server);
    m_icon = iconFor(m_monitor.windowIcon(), server);
    if (m_tray != nullptr) {
        if (m_tray->toolTip() != m_toolTip)
            m_tray->setToolTip(m_toolTip);
        m_tray->setIcon(m_icon);
    }
}

QString PlayersTrayIcon::toolTipFor(const ServerEntry& server) {
    if (server.address.empty())
        return QStringLiteral("Ondel: no server chosen");
    // The name on one line, shortened: server text may be anything up to a datagram's length.
    const QString name =
        displayText(withVisibleControls(text::cutUtf8(text::toDisplayUtf8(server.hostName), 100)));
    const QString address = displayText(text::toDisplayUtf8(addressText(server.address)));
    if (!answered(server))
        return QStringLiteral("Ondel: no answer\n%1").arg(address);
    return QStringLiteral("Ondel: %1/%2 players\n%3")
        .arg(server.players)
        .arg(server.maxPlayers)
        .arg(name.isEmpty() ? address : name);
}

QIcon PlayersTrayIcon::iconFor(const QIcon& base, const ServerEntry& server) {
    if (!answered(server))
        return base;
    QIcon out;
    for (int size : {16, 22, 24, 32, 48, 64})
        out.addPixmap(badged(base, size, server));
    return out;
}

} // namespace ondel
