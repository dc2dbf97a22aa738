#include "BrowserWindow.h"

#include "BrowserBlocklist.h"
#include "BrowserDetails.h"
#include "BrowserModel.h"
#include "BrowserProxyModel.h"
#include "BrowserTable.h"
#include "BrowserWatch.h"
#include "common/Text.h"
#include "serverlist/ServerListSet.h"
#include "ui/monitor/ListSelector.h"
#include "ui/toolkit/PlainText.h"
#include "ui/toolkit/WindowSize.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace ondel {

namespace {

QString fromBytes(const std::string& bytes) {
    return displayText(text::toDisplayUtf8(bytes));
}

// Screen readers learn from the role that this is a window of its own (a plain top-level widget
// would report itself as a client area).
QAccessibleInterface* browserAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(BrowserWindow::staticMetaObject.className()) &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

BrowserWindow::BrowserWindow(ServerListSet& lists, SettingsStore& settings, ScanService& scans,
                             Prompt& prompt, Actions actions, QWidget* parent)
    : QWidget(parent, Qt::Window), m_lists(lists) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&browserAccessible);
        return true;
    }();
    (void)factoryInstalled;
    m_rows = new BrowserListRows(lists, this);
    m_filters = new BrowserFilterBar(this);
    m_table = new BrowserTable(&m_rows->proxy(), this);
    m_table->setObjectName(QLatin1String(kServerTable));
    m_refresh = new BrowserRefresh(scans, settings, this);
    m_details = new BrowserDetails(
        settings, scans, [this] { return selectedEntry(); }, m_table, this);
    m_blocklist = new BrowserBlocklist(m_rows->model(), prompt, this);
    m_watch = new BrowserWatch(settings, this);
    m_actions =
        new BrowserServerActions(*this, lists, settings, prompt, *m_blocklist, std::move(actions));

    connect(m_filters, &BrowserFilterBar::changed, this, [this] {
        m_rows->proxy().setFilter(m_filters->filter());
        updateStatus();
    });
    connect(m_table, &BrowserTable::showRequested, this, &BrowserWindow::showInMonitor);
    connect(m_table, &BrowserTable::menuRequested, this, [this](int row, const QPoint& at) {
        if (std::unique_ptr<QMenu> menu = contextMenuFor(row))
            menu->exec(at);
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, m_details,
            &BrowserDetails::follow);
    connect(m_refresh, &BrowserRefresh::resultsArrived, this, &BrowserWindow::applyResults);
    connect(m_refresh, &BrowserRefresh::finished, this, [this] {
        updateStatus();
        emit refreshFinished();
    });
    connect(m_refresh, &BrowserRefresh::due, this, &BrowserWindow::refresh);
    connect(m_blocklist, &BrowserBlocklist::reloaded, this, &BrowserWindow::updateStatus);
    connect(m_actions, &BrowserServerActions::listChanged, this, &BrowserWindow::listUpdated);

    buildControls();
    keepWindowSize(*this, settings, "Browser", QSize(920, 680));
    m_table->restoreHeader(settings);
    m_details->restore();
    showList(m_lists.empty() ? 0 : m_lists.currentIndex());
}

BrowserWindow::~BrowserWindow() = default;

void BrowserWindow::buildControls() {
    m_listSelector = new ListSelector(this);
    m_listSelector->setObjectName(QLatin1String(kListSelector));
    m_listSelector->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_listSelector->setMinimumContentsLength(24);
    connect(m_listSelector, &ListSelector::aboutToShowPopup, this,
            &BrowserWindow::fillListSelector);
    connect(m_listSelector, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            showList(static_cast<std::size_t>(index));
    });

    auto* refreshAction = new QAction(QStringLiteral("&Refresh"), this);
    refreshAction->setObjectName(QLatin1String(kRefreshAction));
    refreshAction->setShortcut(QKeySequence(Qt::Key_F5));
    refreshAction->setShortcutContext(Qt::WindowShortcut);
    addAction(refreshAction);
    connect(refreshAction, &QAction::triggered, this, &BrowserWindow::refresh);
    auto* refreshButton = new QPushButton(QStringLiteral("Refresh (F5)"), this);
    refreshButton->setAutoDefault(false);
    connect(refreshButton, &QPushButton::clicked, refreshAction, &QAction::trigger);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Server list:"), this));
    top->addWidget(m_listSelector, 1);
    top->addWidget(refreshButton);
    top->addWidget(new QLabel(QStringLiteral("Auto-refresh:"), this));
    top->addWidget(m_refresh->autoRefreshBox());
    top->addWidget(m_refresh->progressBar());
    top->addWidget(m_details->button());

    auto* filters = new QHBoxLayout;
    filters->addWidget(m_filters, 1);
    filters->addWidget(m_watch->button());
    filters->addWidget(m_blocklist->button());

    m_status = new QLabel(this);
    m_status->setObjectName(QLatin1String(kStatusLabel));
    m_status->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(filters);
    layout->addWidget(m_details->splitter(), 1);
    layout->addWidget(m_status);

    // Esc and Ctrl+W close the window, as the close box does.
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

const ServerEntry* BrowserWindow::selectedEntry() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : m_rows->entryAt(rows.first().row());
}

void BrowserWindow::fillListSelector() {
    const bool blocked = m_listSelector->blockSignals(true);
    m_listSelector->clear();
    for (std::size_t i = 0; i < m_lists.size(); ++i) {
        const ServerList& l = m_lists.at(i);
        m_listSelector->addItem(fromBytes(l.name() + " (" + l.sourcePath() + ")"));
    }
    m_listSelector->setCurrentIndex(listIndex());
    m_listSelector->blockSignals(blocked);
}

void BrowserWindow::showList(std::size_t index) {
    if (index >= m_lists.size())
        return;
    m_refresh->stop();
    m_rows->show(index);
    reloadList();
    fillListSelector();
    m_refresh->resetProgress();
}

void BrowserWindow::reloadList() {
    BrowserProxyModel& proxy = m_rows->proxy();
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    const BrowserRow* selectedRow =
        selected.isEmpty() ? nullptr : proxy.rowAt(selected.first().row());
    const std::optional<ServerAddress> keep =
        selectedRow != nullptr ? std::optional(selectedRow->address) : std::nullopt;
    m_rows->reload();
    // The selected server stays selected (and its details pane live) when it is still there.
    const int again = keep ? model().indexOf(*keep) : -1;
    if (again >= 0) {
        const QModelIndex index = proxy.mapFromSource(model().index(again, 0));
        if (index.isValid())
            m_table->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    }
    m_details->follow();
    updateStatus();
    updateTitle();
}

void BrowserWindow::refresh() {
    m_refresh->stop();
    m_blocklist->reload();
    reloadList();
    if (shownList() != nullptr)
        m_refresh->start(m_rows->toAsk());
}

void BrowserWindow::applyResults(const std::vector<ScanResult>& batch) {
    m_rows->apply(batch);
    for (const ScanResult& r : batch)
        m_watch->announce(r);
    updateStatus();
    emit listUpdated();
}

void BrowserWindow::updateStatus() {
    QString text =
        QStringLiteral("%1 of %2 servers shown").arg(proxy().rowCount()).arg(model().rowCount());
    const QString player = m_filters->playerText();
    if (!player.isEmpty())
        text += QStringLiteral(" (with a player named like \"%1\")").arg(player);
    if (m_rows->blockedNotAsked() > 0)
        text += QStringLiteral("; %1 blocked servers not asked").arg(m_rows->blockedNotAsked());
    if (m_refresh->isRunning())
        text += QStringLiteral("; refreshing: %1 of %2 answered or timed out")
                    .arg(m_refresh->done())
                    .arg(m_refresh->total());
    m_status->setText(text);
}

void BrowserWindow::updateTitle() {
    const ServerList* list = shownList();
    QString title = QStringLiteral("Ondel Browser");
    if (list != nullptr)
        title += QStringLiteral(" - ") + fromBytes(list->name());
    setWindowTitle(title);
}

std::unique_ptr<QMenu> BrowserWindow::contextMenuFor(int proxyRow) {
    return m_actions->contextMenuFor(proxyRow);
}

void BrowserWindow::setNotifier(Notifier* notifier) {
    m_watch->setNotifier(notifier);
}

void BrowserWindow::setWatchedPlayers(const std::vector<std::string>& names) {
    m_watch->setWatched(names);
}

void BrowserWindow::editWatchList() {
    m_watch->edit();
}

void BrowserWindow::setBlocklistPath(std::string path) {
    m_blocklist->setPath(std::move(path));
}

void BrowserWindow::setHistory(HistoryStore* store) {
    m_details->setHistory(store);
}

void BrowserWindow::setCountryLookup(const CountryLookup* countries) {
    model().setCountryLookup(countries);
    m_table->setColumnHidden(static_cast<int>(BrowserColumn::Country), countries == nullptr);
}

} // namespace ondel
