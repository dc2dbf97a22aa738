#include "ServerDetailsView.h"

#include "FormTable.h"
#include "WindowServices.h"
#include "common/Clock.h"
#include "monitor/CellColour.h"
#include "monitor/DetailsPanel.h"
#include "monitor/WindowTitle.h"
#include "query/QueryEngine.h"
#include "settings/SettingsKeys.h"
#include "ui/toolkit/CEditEx.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/ControlId.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/ViewRows.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <array>

namespace ondel {

namespace {

enum : int {
    kPingId = 1002,
    kSendId = 1004,
    kReceiveId = 1005,
    kHostNameId = 1012,
    kLastConnectedId = 1025,
    kGameId = 1015,
    kPlayersTextId = 1007,
    kMapId = 1013,
    kPasswordRequiredId = 1014,
    kTypeId = 1017,
    kAdminModId = 1019,
    kFriendlyFireId = 1021,
    kTimeLimitId = 1023,
    kTimeLeftId = 1024,
};

// Where the controls sit, in dialog units. The details rows follow each other 13 units apart.
constexpr int kFirstRowY = 177;
constexpr int kRowStep = 13;
constexpr int rowY(int row) {
    return kFirstRowY + row * kRowStep;
}

constexpr std::array kPlaces{
    FormPlace{kPingId, 52, 120, 40, 12},
    FormPlace{kSendId, 138, 108, 48, 12},
    FormPlace{kReceiveId, 138, 124, 48, 12},
    FormPlace{kHostNameId, 18, 152, 168, 21},
    FormPlace{kLastConnectedId, 76, rowY(0), 110, 12},
    FormPlace{kGameId, 76, rowY(1), 110, 12},
    FormPlace{kPlayersTextId, 76, rowY(2), 110, 12},
    FormPlace{kMapId, 76, rowY(3), 110, 12},
    FormPlace{kPasswordRequiredId, 76, rowY(4), 110, 12},
    FormPlace{kTypeId, 76, rowY(5), 110, 12},
    FormPlace{kAdminModId, 76, rowY(6), 110, 12},
    FormPlace{kFriendlyFireId, 76, rowY(7), 110, 12},
    FormPlace{kTimeLimitId, 76, rowY(8), 110, 12},
    FormPlace{kTimeLeftId, 76, rowY(9), 110, 12},
    FormPlace{ServerDetailsView::kPlayersId, 208, 100, 184, 152, Grow::Upper},
    FormPlace{ServerDetailsView::kRulesId, 208, 260, 184, 52, Grow::Lower},
};

constexpr std::array kLabels{
    FormLabel{"Ping:", 8, 122, 43, 8, kPingId},
    FormLabel{"Send:", 102, 110, 34, 8, kSendId},
    FormLabel{"Receive:", 102, 126, 34, 8, kReceiveId},
    FormLabel{"Last Connected:", 18, rowY(0) + 2, 56, 8, kLastConnectedId},
    FormLabel{"Game:", 18, rowY(1) + 2, 56, 8, kGameId},
    FormLabel{"Players:", 18, rowY(2) + 2, 56, 8, kPlayersTextId},
    FormLabel{"Map:", 18, rowY(3) + 2, 56, 8, kMapId},
    FormLabel{"PW:", 18, rowY(4) + 2, 56, 8, kPasswordRequiredId},
    FormLabel{"Type:", 18, rowY(5) + 2, 56, 8, kTypeId},
    FormLabel{"Admin Mod:", 18, rowY(6) + 2, 56, 8, kAdminModId},
    FormLabel{"Friendly Fire:", 18, rowY(7) + 2, 56, 8, kFriendlyFireId},
    FormLabel{"Timelimit:", 18, rowY(8) + 2, 56, 8, kTimeLimitId},
    FormLabel{"Timeleft:", 18, rowY(9) + 2, 56, 8, kTimeLeftId},
};

// Read-only fields have the window's background, and Tab passes them by (a click still selects
// their text; screen readers read them by their labels).
template <typename Widget> Widget* readOnlyLook(Widget* widget) {
    widget->setFocusPolicy(Qt::ClickFocus);
    QPalette p = widget->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    widget->setPalette(p);
    return widget;
}

QLineEdit* readOnlyField(QWidget* form, int id, const DialogUnits& du, bool coloured = false) {
    QLineEdit* edit = readOnlyLook(coloured ? new CEditEx(form) : new QLineEdit(form));
    edit->setReadOnly(true);
    placeControl(edit, id, kPlaces, du);
    return edit;
}

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

ServerDetailsView::ServerDetailsView(WindowServices& services, ServerEntry& work, QWidget* form,
                                     const DialogUnits& du)
    : QObject(form), m_services(services), m_work(work) {
    buildFields(form, du);
    buildViews(form, du);
    placeLabels(form, kLabels, du);
}

void ServerDetailsView::buildFields(QWidget* form, const DialogUnits& du) {
    // Frames first, so that the controls inside are drawn over them.
    placeGroup(form, "Bandwidth", {0, 96, 96, 96, 44}, du);
    placeGroup(form, "Server details", {0, 12, 140, 180, 172}, du);

    m_ping = readOnlyField(form, kPingId, du);
    m_send = readOnlyField(form, kSendId, du);
    m_receive = readOnlyField(form, kReceiveId, du);

    // The details panel: the server name on two lines, then one row per detail.
    m_hostName = readOnlyLook(new QPlainTextEdit(form));
    m_hostName->setAccessibleName(QStringLiteral("Server name"));
    m_hostName->setReadOnly(true);
    m_hostName->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_hostName->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_hostName->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_hostName->document()->setDocumentMargin(1);
    placeControl(m_hostName, kHostNameId, kPlaces, du);

    m_lastConnected = readOnlyField(form, kLastConnectedId, du);
    m_game = static_cast<CEditEx*>(readOnlyField(form, kGameId, du, true));
    m_playersText = readOnlyField(form, kPlayersTextId, du);
    m_map = static_cast<CEditEx*>(readOnlyField(form, kMapId, du, true));
    m_passwordRequired = static_cast<CEditEx*>(readOnlyField(form, kPasswordRequiredId, du, true));
    m_type = readOnlyField(form, kTypeId, du);
    m_adminMod = readOnlyField(form, kAdminModId, du);
    m_friendlyFire = readOnlyField(form, kFriendlyFireId, du);
    m_timeLimit = readOnlyField(form, kTimeLimitId, du);
    m_timeLeft = readOnlyField(form, kTimeLeftId, du);
}

void ServerDetailsView::buildViews(QWidget* form, const DialogUnits& du) {
    // Column widths in pixels of the classic dialog font, scaled.
    m_players = new ColorListCtrl(form);
    m_players->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_players->setColumns({{QString(), 0, Qt::AlignLeft},
                           {QStringLiteral("#"), du.scaledPixels(20), Qt::AlignLeft},
                           {QStringLiteral("Name"), du.scaledPixels(146), Qt::AlignLeft},
                           {QStringLiteral("Frags"), du.scaledPixels(40), Qt::AlignRight},
                           {QStringLiteral("Time"), du.scaledPixels(50), Qt::AlignHCenter}});
    placeControl(m_players, kPlayersId, kPlaces, du);

    m_rules = new ColorListCtrl(form);
    m_rules->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rules->setColumns({{QString(), 0, Qt::AlignLeft},
                         {QStringLiteral("#"), du.scaledPixels(25), Qt::AlignLeft},
                         {QStringLiteral("Name"), du.scaledPixels(106), Qt::AlignLeft},
                         {QStringLiteral("Value"), du.scaledPixels(125), Qt::AlignLeft}});
    m_rules->header()->setSectionsClickable(false);
    placeControl(m_rules, kRulesId, kPlaces, du);

    connect(m_players, &ColorListCtrl::headerClicked, this, &ServerDetailsView::onHeaderClicked);
    connect(m_players, &ColorListCtrl::rowSelectionChanged, this,
            &ServerDetailsView::onPlayerRowSelection);
}

void ServerDetailsView::refresh() {
    refreshPlayers();
    refreshRules();
    updateFields();
}

void ServerDetailsView::onHeaderClicked(int column) {
    m_sort.headerClicked(column);
    refreshPlayers();
    refreshRules();
}

void ServerDetailsView::onPlayerRowSelection(int row, bool selected) {
    if (m_refreshing)
        return;
    const auto key = static_cast<std::uint8_t>(m_players->rowValue(row));
    m_work = m_services.engine.currentServer();
    setPlayerSelected(m_work, key, selected);
    m_services.engine.setCurrentServer(m_work);
}

void ServerDetailsView::refreshPlayers() {
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

void ServerDetailsView::refreshRules() {
    const std::vector<RuleRow> rows = ruleRows(m_work);
    m_refreshing = true;
    syncRows(*m_rules, rows,
             viewFadePercent(m_work.rulesTime, m_services.clock.nowMs1601(),
                             m_services.engine.staleAfterMs(RequestSlot::Rules)),
             [this](int i, const RuleRow& row) { setRuleCells(*m_rules, i, row); });
    m_refreshing = false;
}

void ServerDetailsView::updateFields() {
    const QueryEngine& engine = m_services.engine;
    setFieldText(m_receive, displayText(bandwidthText(engine.receivedPerSecond())));
    setFieldText(m_send, displayText(bandwidthText(engine.sentPerSecond())));

    const std::string hlDir = settings::read(m_services.settings, settings::kHlDir);
    DetailsPanelTexts t = computeDetailsPanel(m_work, hlDir);
    // A blocked server is never asked: the panel says so where its name would stand.
    if (!m_work.infoValid && m_services.blockedBy) {
        if (std::optional<std::string> entry = m_services.blockedBy(m_work.address))
            t.hostName = "Blocked by blocklist.txt (" + *entry + "): not asked";
    }
    const QString hostName = displayText(t.hostName);
    if (m_hostName->toPlainText() != hostName)
        m_hostName->setPlainText(hostName);
    const std::pair<QLineEdit*, const std::string*> fields[] = {
        {m_lastConnected, &t.lastConnected},
        {m_game, &t.game},
        {m_playersText, &t.players},
        {m_map, &t.map},
        {m_passwordRequired, &t.password},
        {m_type, &t.type},
        {m_adminMod, &t.adminMod},
        {m_friendlyFire, &t.friendlyFire},
        {m_timeLimit, &t.timeLimit},
        {m_timeLeft, &t.timeLeft},
        {m_ping, &t.ping},
    };
    for (const auto& [edit, text] : fields)
        setFieldText(edit, displayText(*text));
    const int limited = engine.limitedRefreshSeconds();
    const QString pingTip = limited > 0 ? displayText(queryLimitText(limited)) : QString();
    if (m_ping->toolTip() != pingTip)
        m_ping->setToolTip(pingTip);

    const QColor normal = m_game->parentWidget()->palette().color(QPalette::WindowText);
    const QColor red = toQColor(kRed);
    m_game->setTextColour(t.gameRed ? red : normal);
    m_map->setTextColour(t.mapRed ? red : normal);
    m_passwordRequired->setTextColour(t.passwordRed ? red : normal);
}

} // namespace ondel
