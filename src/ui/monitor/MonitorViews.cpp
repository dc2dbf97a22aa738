// The monitor window's refresh cycle: the views, fields and title from the working copy.
#include "MonitorDialog.h"

#include "MonitorText.h"

#include "ListSelector.h"
#include "NewListDialog.h"
#include "RenameListDialog.h"
#include "ServerSelector.h"
#include "UpDownArrows.h"
#include "common/Clock.h"
#include "common/Text.h"
#include "monitor/CellColour.h"
#include "monitor/DetailsPanel.h"
#include "monitor/WindowTitle.h"
#include "platform/QuerySocket.h"
#include "query/QueryEngine.h"
#include "serverlist/ListCommands.h"
#include "serverlist/ServerListOrder.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/rcon/RconConsole.h"
#include "ui/toolkit/AboutDialog.h"
#include "ui/toolkit/CEditEx.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/DialogUnits.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/UiPrompt.h"
#include "ui/toolkit/ViewRows.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace ondel {

namespace {

void setFieldText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

QColor toQColor(CellColour c) {
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

} // namespace

// --- the refresh cycle -------------------------------------------------------------------

void MonitorDialog::tick() {
    if (m_gameRunning)
        return;
    m_services.engine.queryTick();
    refreshDisplay();
    emit ticked();
}

void MonitorDialog::refreshDisplay() {
    m_work = m_services.engine.currentServer();
    refreshPlayers();
    refreshRules();
    updateFields();
    updateTitle();
}

void MonitorDialog::refreshPlayers() {
    const std::vector<PlayerRow> rows = playerRows(m_work, m_sort, m_services.clock.tickMs());
    m_refreshing = true;
    syncRows(*m_players, rows,
             viewFadePercent(m_work.playersTime, m_services.clock.nowMs1601(),
                             m_services.engine.staleAfterMs(RequestSlot::Players)),
             [this](int i, const PlayerRow& row) {
                 m_players->setRowValue(i, row.key);
                 m_players->setRowSelected(i, row.selected);
                 setPlayerCells(*m_players, i, row);
             });
    m_refreshing = false;
}

void MonitorDialog::refreshRules() {
    const std::vector<RuleRow> rows = ruleRows(m_work);
    m_refreshing = true;
    syncRows(*m_rules, rows,
             viewFadePercent(m_work.rulesTime, m_services.clock.nowMs1601(),
                             m_services.engine.staleAfterMs(RequestSlot::Rules)),
             [this](int i, const RuleRow& row) { setRuleCells(*m_rules, i, row); });
    m_refreshing = false;
}

void MonitorDialog::updateFields() {
    const QueryEngine& engine = m_services.engine;
    setFieldText(m_receive, displayText(bandwidthText(engine.receivedPerSecond())));
    setFieldText(m_send, displayText(bandwidthText(engine.sentPerSecond())));

    const std::string hlDir = settings::read(m_services.settings, settings::kHlDir);
    const DetailsPanelTexts t = computeDetailsPanel(m_work, hlDir);
    const QString hostName = displayText(t.hostName);
    if (m_hostName->toPlainText() != hostName)
        m_hostName->setPlainText(hostName);
    setFieldText(m_lastConnected, displayText(t.lastConnected));
    setFieldText(m_game, displayText(t.game));
    setFieldText(m_playersText, displayText(t.players));
    setFieldText(m_map, displayText(t.map));
    setFieldText(m_passwordRequired, displayText(t.password));
    setFieldText(m_type, displayText(t.type));
    setFieldText(m_adminMod, displayText(t.adminMod));
    setFieldText(m_friendlyFire, displayText(t.friendlyFire));
    setFieldText(m_timeLimit, displayText(t.timeLimit));
    setFieldText(m_timeLeft, displayText(t.timeLeft));
    setFieldText(m_ping, displayText(t.ping));
    const int limited = m_services.engine.limitedRefreshSeconds();
    const QString pingTip = limited > 0 ? displayText(queryLimitText(limited)) : QString();
    if (m_ping->toolTip() != pingTip)
        m_ping->setToolTip(pingTip);

    const QColor normal = palette().color(QPalette::WindowText);
    const QColor red = toQColor(kRed);
    m_game->setTextColour(t.gameRed ? red : normal);
    m_map->setTextColour(t.mapRed ? red : normal);
    m_passwordRequired->setTextColour(t.passwordRed ? red : normal);
    applyPasswordEcho();
}

void MonitorDialog::updateTitle() {
    TitleMode mode = m_gameRunning ? TitleMode::Connected
                     : m_minimized ? TitleMode::Minimized
                                   : TitleMode::Normal;
    const QString title =
        displayText(ondel::windowTitle(m_work, mode, m_services.engine.limitedRefreshSeconds()));
    if (windowTitle() != title)
        setWindowTitle(title);
}

void MonitorDialog::setGameRunning(bool running) {
    m_gameRunning = running;
    if (running)
        m_timer->stop();
    else
        m_timer->start();
    updateTitle();
}

void MonitorDialog::applyPasswordEcho() {
    const bool hidden = m_work.hidePassword;
    if (m_echoHidden && *m_echoHidden == hidden)
        return;
    m_password->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
    m_echoHidden = hidden;
}

} // namespace ondel
