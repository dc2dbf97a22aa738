#include "ServerDetailsPane.h"

#include "monitor/CellColour.h"
#include "monitor/DetailsPanel.h"
#include "serverlist/ServerAddress.h"
#include "settings/SettingsKeys.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/ViewRows.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <iterator>

namespace ondel {

namespace {

void setFieldText(QLineEdit* edit, const std::string& utf8) {
    const QString text = displayText(utf8);
    if (edit->text() != text) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

void setFieldRed(QLineEdit* edit, bool red) {
    QPalette palette = edit->palette();
    const QColor colour =
        red ? QColor(redOf(kRed), greenOf(kRed), blueOf(kRed)) : QPalette().color(QPalette::Text);
    if (palette.color(QPalette::Text) == colour)
        return;
    palette.setColor(QPalette::Text, colour);
    edit->setPalette(palette);
}

// A view with a label above it that names it for the keyboard and for screen readers.
QWidget* titled(const QString& title, QWidget* view, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(title, box);
    label->setBuddy(view);
    layout->addWidget(label);
    layout->addWidget(view, 1);
    view->setAccessibleName(QString(title).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    return box;
}

} // namespace

ServerDetailsPane::ServerDetailsPane(SettingsStore& settings, QueryFactory factory, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_factory(std::move(factory)) {
    setObjectName(QLatin1String(kObjectName));
    m_timer = new QTimer(this);
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &ServerDetailsPane::tick);
    buildControls();
    render();
}

ServerDetailsPane::~ServerDetailsPane() = default;

void ServerDetailsPane::buildControls() {
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const char* label :
         {"&Name:", "Game:", "Players:", "Map:", "PW:", "Type:", "Admin Mod:", "Friendly Fire:",
          "Timelimit:", "Timeleft:", "Ping:", "Last Connected:"})
        addField(form, QString::fromLatin1(label));
    auto* details = new QWidget(this);
    details->setLayout(form);
    // Room for a server name or "Linux, Dedicated" in the fields when the graph is beside them.
    details->setMinimumWidth(fontMetrics().averageCharWidth() * 34);

    m_players = new ColorListCtrl(this);
    m_players->setSelectionMode(QAbstractItemView::SingleSelection);
    m_players->setColumns({{QString(), 0, Qt::AlignLeft},
                           {QStringLiteral("#"), 28, Qt::AlignLeft},
                           {QStringLiteral("Name"), 110, Qt::AlignLeft},
                           {QStringLiteral("Frags"), 50, Qt::AlignRight},
                           {QStringLiteral("Time"), 70, Qt::AlignHCenter}});
    connect(m_players, &ColorListCtrl::headerClicked, this, [this](int column) {
        m_sort.headerClicked(column);
        render();
    });
    connect(m_players, &ColorListCtrl::rowSelectionChanged, this, [this](int row, bool selected) {
        if (m_refreshing)
            return;
        const QString name = m_players->itemText(row, 2);
        if (selected)
            m_selectedPlayer = name.toStdString();
        else if (name.toStdString() == m_selectedPlayer)
            m_selectedPlayer.clear();
    });

    m_rules = new ColorListCtrl(this);
    m_rules->setSelectionMode(QAbstractItemView::SingleSelection);
    m_rules->setColumns({{QString(), 0, Qt::AlignLeft},
                         {QStringLiteral("#"), 30, Qt::AlignLeft},
                         {QStringLiteral("Name"), 140, Qt::AlignLeft},
                         {QStringLiteral("Value"), 110, Qt::AlignLeft}});
    m_rules->header()->setSectionsClickable(false);

    m_parts = new QHBoxLayout(this);
    m_parts->setContentsMargins(0, 0, 0, 0);
    m_parts->addWidget(details, 3);
    m_parts->addWidget(titled(QStringLiteral("&Players:"), m_players, this), 3);
    m_parts->addWidget(titled(QStringLiteral("R&ules:"), m_rules, this), 3);
}

QLineEdit* ServerDetailsPane::addField(QFormLayout* form, const QString& label) {
    auto* edit = new QLineEdit(this);
    edit->setReadOnly(true);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(edit);
    QString name = QString(label).remove(QLatin1Char('&'));
    name.chop(1); // the colon
    // Read by screen readers with its label: "Ping: 12 (11.5)", not "12 (11.5)".
    edit->setAccessibleName(name);
    form->addRow(caption, edit);
    m_fields.emplace_back(name, edit);
    return edit;
}

QLineEdit* ServerDetailsPane::field(const QString& label) const {
    for (const auto& [name, edit] : m_fields)
        if (name == label)
            return edit;
    return nullptr;
}

void ServerDetailsPane::addPart(QWidget* part, int stretch) {
    m_parts->addWidget(part, stretch);
}

void ServerDetailsPane::showServer(const ServerEntry& entry) {
    if (m_hasServer && isSameServer(m_entry.address, entry.address)) {
        // The user's data may have changed in the list; what the server said stays.
        if (m_query) {
            ServerEntry record = m_query->entry();
            record.password = entry.password;
            record.lastConnected = entry.lastConnected;
            m_entry = record;
        }
        render();
        return;
    }
    m_query.reset();
    m_selectedPlayer.clear();
    m_entry = entry;
    m_hasServer = true;
    if (m_factory)
        m_query = m_factory(entry);
    if (m_query) {
        m_query->setSchedule(ServerQuery::polite());
        m_query->setReplyHandler([this](ServerQuery::Reply) {
            m_entry = m_query->entry();
            render();
            emit updated();
        });
        m_timer->start();
        tick();
    }
    render();
}

void ServerDetailsPane::clear() {
    m_query.reset();
    m_timer->stop();
    m_entry = ServerEntry();
    m_hasServer = false;
    m_selectedPlayer.clear();
    render();
}

bool ServerDetailsPane::paneShowing() const {
    return isVisible() && width() > 0 && height() > 0;
}

void ServerDetailsPane::tick() {
    // A pane no one can see asks nothing: the budget is the monitor's and the scans' too.
    if (m_query && paneShowing())
        m_query->tick();
    // The fading follows the clock even when no reply comes.
    render();
}

void ServerDetailsPane::render() {
    renderFields();
    std::vector<PlayerRow> players = playerRows(m_entry, m_sort, m_clock.tickMs());
    const std::int64_t now = m_clock.nowMs1601();
    const auto stale = [this](RequestSlot slot) {
        return m_query ? m_query->staleAfterMs(slot) : std::int64_t{5000};
    };
    m_refreshing = true;
    syncRows(*m_players, players,
             m_hasServer ? viewFadePercent(m_entry.playersTime, now, stale(RequestSlot::Players))
                         : 0,
             [this](int i, const PlayerRow& row) {
                 m_players->setRowValue(i, row.key);
                 setPlayerCells(*m_players, i, row);
                 m_players->setRowSelected(i, !m_selectedPlayer.empty() &&
                                                  row.cells[2] == m_selectedPlayer);
             });
    syncRows(*m_rules, ruleRows(m_entry),
             m_hasServer ? viewFadePercent(m_entry.rulesTime, now, stale(RequestSlot::Rules)) : 0,
             [this](int i, const RuleRow& row) { setRuleCells(*m_rules, i, row); });
    m_refreshing = false;
}

void ServerDetailsPane::renderFields() {
    if (!m_hasServer) {
        for (const auto& [name, edit] : m_fields) {
            edit->clear();
            setFieldRed(edit, false);
        }
        return;
    }
    const DetailsPanelTexts t =
        computeDetailsPanel(m_entry, settings::read(m_settings, settings::kHlDir));
    const std::string* texts[] = {&t.hostName,  &t.game,     &t.players,  &t.map,
                                  &t.password,  &t.type,     &t.adminMod, &t.friendlyFire,
                                  &t.timeLimit, &t.timeLeft, &t.ping,     &t.lastConnected};
    for (std::size_t i = 0; i < m_fields.size() && i < std::size(texts); ++i)
        setFieldText(m_fields[i].second, *texts[i]);
    setFieldRed(field(QStringLiteral("Game")), t.gameRed);
    setFieldRed(field(QStringLiteral("Map")), t.mapRed);
    setFieldRed(field(QStringLiteral("PW")), t.passwordRed);
}

} // namespace ondel
