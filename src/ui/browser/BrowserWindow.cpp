#include "BrowserWindow.h"

#include "BrowserModel.h"
#include "BrowserProxyModel.h"
#include "ServerDetailsPane.h"
#include "WatchListDialog.h"
#include "browser/Blocklist.h"
#include "browser/ScanService.h"
#include "common/Prompt.h"
#include "common/Text.h"
#include "notify/Notifier.h"
#include "serverlist/ServerListSet.h"
#include "settings/SettingsKeys.h"
#include "ui/monitor/ListSelector.h"
#include "ui/toolkit/PlainText.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace ondel {

namespace {

QString fromBytes(const std::string& bytes) {
    return displayText(text::toDisplayUtf8(bytes));
}

QString autoRefreshText(int seconds) {
    if (seconds == 0)
        return QStringLiteral("Off");
    if (seconds % 60 == 0 && seconds >= 300)
        return QStringLiteral("%1 min").arg(seconds / 60);
    return QStringLiteral("%1 s").arg(seconds);
}

// Screen readers learn from the role that this is a window of its own (a plain top-level widget
// would report itself as a client area).
QAccessibleInterface* browserAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(BrowserWindow::staticMetaObject.className()) &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

int choiceIndex(int seconds) {
    const auto* begin = std::begin(BrowserWindow::kAutoRefreshChoices);
    const auto* end = std::end(BrowserWindow::kAutoRefreshChoices);
    const auto* it = std::find(begin, end, seconds);
    return it != end ? static_cast<int>(it - begin) : -1;
}

} // namespace

BrowserWindow::BrowserWindow(ServerListSet& lists, SettingsStore& settings, ScanService& scans,
                             Prompt& prompt, Actions actions, QWidget* parent)
    : QWidget(parent, Qt::Window), m_lists(lists), m_settings(settings), m_scans(scans),
      m_prompt(prompt), m_actions(std::move(actions)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&browserAccessible);
        return true;
    }();
    (void)factoryInstalled;
    m_model = new BrowserModel(this);
    m_proxy = new BrowserProxyModel(*m_model, this);

    m_batchTimer = new QTimer(this);
    m_batchTimer->setInterval(kBatchMs);
    connect(m_batchTimer, &QTimer::timeout, this, &BrowserWindow::flushResults);
    m_autoTimer = new QTimer(this);
    connect(m_autoTimer, &QTimer::timeout, this, [this] {
        if (!m_refreshing)
            refresh();
    });

    buildControls();
    resize(920, 680);
    restoreDetailsPane();

    // A stored interval that is not one of the choices reads as off.
    const int stored = settings::read(m_settings, settings::kBrowserAutoRefresh);
    const int index = std::max(choiceIndex(stored), 0);
    m_autoRefreshBox->setCurrentIndex(index);
    onAutoRefreshChosen(index);

    m_watch.setWatched(watchListFromText(settings::read(m_settings, settings::kWatchedPlayers)));

    showList(m_lists.empty() ? 0 : m_lists.currentIndex());
}

BrowserWindow::~BrowserWindow() {
    // The scan service outlives this window: nothing may call back into it.
    if (m_refreshing)
        m_scans.cancel();
}

void BrowserWindow::buildControls() {
    m_listSelector = new ListSelector(this);
    m_listSelector->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_listSelector->setMinimumContentsLength(24);
    connect(m_listSelector, &ListSelector::aboutToShowPopup, this,
            &BrowserWindow::fillListSelector);
    connect(m_listSelector, &QComboBox::activated, this, &BrowserWindow::onListChosen);

    m_refreshAction = new QAction(QStringLiteral("&Refresh"), this);
    m_refreshAction->setShortcut(QKeySequence(Qt::Key_F5));
    m_refreshAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_refreshAction);
    connect(m_refreshAction, &QAction::triggered, this, &BrowserWindow::refresh);
    auto* refreshButton = new QPushButton(QStringLiteral("Refresh (F5)"), this);
    refreshButton->setAutoDefault(false);
    connect(refreshButton, &QPushButton::clicked, m_refreshAction, &QAction::trigger);

    m_autoRefreshBox = new QComboBox(this);
    for (int seconds : kAutoRefreshChoices)
        m_autoRefreshBox->addItem(autoRefreshText(seconds), seconds);
    connect(m_autoRefreshBox, &QComboBox::activated, this, &BrowserWindow::onAutoRefreshChosen);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QString());
    m_progress->setMinimumWidth(160);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Server list:"), this));
    top->addWidget(m_listSelector, 1);
    top->addWidget(refreshButton);
    top->addWidget(new QLabel(QStringLiteral("Auto-refresh:"), this));
    top->addWidget(m_autoRefreshBox);
    top->addWidget(m_progress);
    m_detailsButton = new QPushButton(QStringLiteral("&Details"), this);
    m_detailsButton->setCheckable(true);
    m_detailsButton->setAutoDefault(false);
    m_detailsButton->setToolTip(
        QStringLiteral("Show the selected server's details, players and rules"));
    connect(m_detailsButton, &QPushButton::toggled, this, &BrowserWindow::setDetailsShown);
    top->addWidget(m_detailsButton);

    m_filterEdit = new QLineEdit(this);
    m_filterEdit->setPlaceholderText(QStringLiteral("name, map or address"));
    m_filterEdit->setClearButtonEnabled(true);
    m_hideEmpty = new QCheckBox(QStringLiteral("Hide empty"), this);
    m_hideFull = new QCheckBox(QStringLiteral("Hide full"), this);
    m_hidePassword = new QCheckBox(QStringLiteral("Hide password-protected"), this);
    m_hideFakes = new QCheckBox(QStringLiteral("Hide suspect servers"), this);
    m_hideFakes->setToolTip(
        QStringLiteral("Servers whose answers look made up (a fake server farm's lure)"));
    m_hideFakes->setChecked(true);
    m_playerEdit = new QLineEdit(this);
    m_playerEdit->setPlaceholderText(QStringLiteral("part of a name"));
    m_playerEdit->setClearButtonEnabled(true);
    connect(m_filterEdit, &QLineEdit::textChanged, this, &BrowserWindow::onFilterChanged);
    connect(m_playerEdit, &QLineEdit::textChanged, this, &BrowserWindow::onFilterChanged);
    for (QCheckBox* box : {m_hideEmpty, m_hideFull, m_hidePassword, m_hideFakes})
        connect(box, &QCheckBox::toggled, this, &BrowserWindow::onFilterChanged);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Filter:"), this));
    filters->addWidget(m_filterEdit, 2);
    filters->addWidget(m_hideEmpty);
    filters->addWidget(m_hideFull);
    filters->addWidget(m_hidePassword);
    filters->addWidget(m_hideFakes);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Find player:"), this));
    filters->addWidget(m_playerEdit, 1);
    m_watchButton = new QPushButton(QStringLiteral("Watch players ..."), this);
    m_watchButton->setAutoDefault(false);
    connect(m_watchButton, &QPushButton::clicked, this, &BrowserWindow::editWatchList);
    filters->addWidget(m_watchButton);
    m_blocklistButton = new QPushButton(QStringLiteral("Blocklist ..."), this);
    m_blocklistButton->setAutoDefault(false);
    connect(m_blocklistButton, &QPushButton::clicked, this, &BrowserWindow::editBlocklist);
    filters->addWidget(m_blocklistButton);

    m_table = new QTableView(this);
    m_table->setModel(m_proxy);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(true);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->setTabKeyNavigation(false); // Tab leaves the table, as in every other control
    m_table->setAccessibleName(QStringLiteral("Servers"));
    m_table->installEventFilter(this);
    m_table->viewport()->installEventFilter(this);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    const int widths[] = {300, 150, 110, 110, 60, 130, 28, 70, 70};
    static_assert(std::size(widths) == static_cast<std::size_t>(BrowserColumn::Count));
    for (int c = 0; c < static_cast<int>(BrowserColumn::Count); ++c)
        header->resizeSection(c, widths[c]);
    // Shown once there is a country database (setCountryLookup).
    m_table->setColumnHidden(static_cast<int>(BrowserColumn::Country), true);
    // Name takes the spare width (fitNameColumn) but is never squeezed below its minimum: a
    // narrow window scrolls instead.
    connect(header, &QHeaderView::sectionResized, this, [this](int section) {
        if (section != static_cast<int>(BrowserColumn::Name))
            fitNameColumn();
    });
    // Unsorted (the list's own order) until a header is clicked.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { showInMonitor(index.row()); });
    connect(m_table, &QTableView::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = m_table->indexAt(pos);
        if (!index.isValid())
            return;
        if (std::unique_ptr<QMenu> menu = contextMenuFor(index.row()))
            menu->exec(m_table->viewport()->mapToGlobal(pos));
    });

    buildDetailsPane();

    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(filters);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(m_status);

    // Esc and Ctrl+W close the window, as the close box does.
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

void BrowserWindow::fitNameColumn() {
    if (m_fittingName)
        return;
    m_fittingName = true;
    QHeaderView* header = m_table->horizontalHeader();
    const int name = static_cast<int>(BrowserColumn::Name);
    int others = 0;
    for (int c = 0; c < header->count(); ++c)
        if (c != name && !header->isSectionHidden(c))
            others += header->sectionSize(c);
    header->resizeSection(name, std::max(kMinNameWidth, m_table->viewport()->width() - others));
    m_fittingName = false;
}

void BrowserWindow::rememberScanStates() {
    for (const BrowserRow& row : m_model->rows())
        if (row.state != BrowserRow::State::Unknown || row.dialect)
            m_scanStates[addressText(row.address)] = scanStateOf(row);
}

QComboBox* BrowserWindow::listSelector() const {
    return m_listSelector;
}

ServerList* BrowserWindow::shownList() const {
    const int index = listIndex();
    return index >= 0 ? &m_lists.at(static_cast<std::size_t>(index)) : nullptr;
}

int BrowserWindow::listIndex() const {
    if (m_listPath.empty() && m_lists.empty())
        return -1;
    return m_lists.findByFilePath(m_listPath);
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

void BrowserWindow::onListChosen(int index) {
    if (index >= 0)
        showList(static_cast<std::size_t>(index));
}

void BrowserWindow::showList(std::size_t index) {
    if (index >= m_lists.size())
        return;
    stopRefresh();
    m_listPath = m_lists.at(index).filePath();
    reloadList();
    fillListSelector();
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QString());
}

void BrowserWindow::reloadList() {
    rememberScanStates();
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    const BrowserRow* selectedRow =
        selected.isEmpty() ? nullptr : m_proxy->rowAt(selected.first().row());
    const std::optional<ServerAddress> keep =
        selectedRow != nullptr ? std::optional(selectedRow->address) : std::nullopt;
    const ServerList* list = shownList();
    std::vector<BrowserRow> rows;
    if (list != nullptr) {
        rows.reserve(list->size());
        for (const ServerEntry& entry : list->entries()) {
            BrowserRow row = rowFromEntry(entry);
            if (auto it = m_scanStates.find(addressText(entry.address)); it != m_scanStates.end())
                applyScanState(row, it->second);
            rows.push_back(std::move(row));
        }
    }
    m_model->setRows(std::move(rows));
    // The selected server stays selected (and its details pane live) when it is still there.
    const int again = keep ? m_model->indexOf(*keep) : -1;
    if (again >= 0) {
        const QModelIndex index = m_proxy->mapFromSource(m_model->index(again, 0));
        if (index.isValid())
            m_table->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    }
    onSelectionChanged();
    updateStatus();
    updateTitle();
}

void BrowserWindow::refresh() {
    stopRefresh();
    reloadBlocklist();
    reloadList();
    const ServerList* list = shownList();
    if (list == nullptr)
        return;
    // A server the list holds twice is asked once; a blocked one not at all (one whose name is
    // blocked was asked once, and is not asked again while its name is known).
    std::vector<ServerAddress> addresses;
    std::unordered_set<std::string> seen;
    m_blockedNotAsked = 0;
    for (const ServerEntry& entry : list->entries()) {
        if (!seen.insert(addressText(entry.address)).second)
            continue;
        const int i = m_model->indexOf(entry.address);
        if (i >= 0 && !m_model->row(i).blockedBy.empty())
            ++m_blockedNotAsked;
        else
            addresses.push_back(entry.address);
    }
    m_total = addresses.size();
    m_done = 0;
    m_progress->setRange(0, static_cast<int>(std::max<std::size_t>(m_total, 1)));
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%v/%m servers"));
    if (addresses.empty()) {
        emit refreshFinished();
        return;
    }
    m_refreshing = true;
    m_batchTimer->start();
    m_scans.start(
        addresses, [this](const ScanResult& result) { onResult(result); },
        [this] { onScanFinished(); });
}

void BrowserWindow::stopRefresh() {
    if (!m_refreshing)
        return;
    m_scans.cancel();
    flushResults();
    m_refreshing = false;
    m_batchTimer->stop();
}

void BrowserWindow::onResult(const ScanResult& result) {
    // Only queued here: the table and the list take results in batches.
    m_pending.push_back(result);
    ++m_done;
}

void BrowserWindow::onScanFinished() {
    flushResults();
    m_refreshing = false;
    m_batchTimer->stop();
    updateStatus();
    emit refreshFinished();
}

void BrowserWindow::flushResults() {
    m_progress->setValue(static_cast<int>(std::min(m_done, m_total)));
    if (m_pending.empty())
        return;
    std::vector<ScanResult> batch;
    batch.swap(m_pending);
    if (ServerList* list = shownList()) {
        for (const ScanResult& r : batch) {
            const int i = list->find(r.address);
            if (i >= 0) {
                applyResult(list->entries()[static_cast<std::size_t>(i)], r);
                list->entryChanged(static_cast<std::size_t>(i));
            }
        }
    }
    for (const ScanResult& r : batch)
        announceWatched(r);
    m_model->applyResults(batch);
    rememberScanStates();
    updateStatus();
    emit listUpdated();
}

void BrowserWindow::onFilterChanged() {
    BrowserFilter filter;
    filter.text = m_filterEdit->text().trimmed().toStdString();
    filter.player = m_playerEdit->text().trimmed().toStdString();
    filter.hideEmpty = m_hideEmpty->isChecked();
    filter.hideFull = m_hideFull->isChecked();
    filter.hidePassword = m_hidePassword->isChecked();
    filter.hideFakes = m_hideFakes->isChecked();
    m_proxy->setFilter(std::move(filter));
    updateStatus();
}

void BrowserWindow::onAutoRefreshChosen(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kAutoRefreshChoices)))
        return;
    setAutoRefresh(kAutoRefreshChoices[index]);
}

void BrowserWindow::setAutoRefresh(int seconds) {
    const int index = choiceIndex(seconds);
    if (index < 0)
        return;
    m_autoRefreshSeconds = seconds;
    if (m_autoRefreshBox->currentIndex() != index)
        m_autoRefreshBox->setCurrentIndex(index);
    if (settings::read(m_settings, settings::kBrowserAutoRefresh) != seconds)
        settings::write(m_settings, settings::kBrowserAutoRefresh, seconds);
    if (seconds > 0)
        m_autoTimer->start(seconds * 1000);
    else
        m_autoTimer->stop();
}

void BrowserWindow::updateStatus() {
    const int shown = m_proxy->rowCount();
    const int all = m_model->rowCount();
    QString text = QStringLiteral("%1 of %2 servers shown").arg(shown).arg(all);
    const QString player = m_playerEdit->text().trimmed();
    if (!player.isEmpty())
        text += QStringLiteral(" (with a player named like \"%1\")").arg(player);
    if (m_blockedNotAsked > 0)
        text += QStringLiteral("; %1 blocked servers not asked").arg(m_blockedNotAsked);
    if (m_refreshing)
        text +=
            QStringLiteral("; refreshing: %1 of %2 answered or timed out").arg(m_done).arg(m_total);
    m_status->setText(text);
}

void BrowserWindow::updateTitle() {
    const ServerList* list = shownList();
    QString title = QStringLiteral("Ondel Browser");
    if (list != nullptr)
        title += QStringLiteral(" - ") + fromBytes(list->name());
    setWindowTitle(title);
}

bool BrowserWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table->viewport() && event->type() == QEvent::Resize)
        fitNameColumn();
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (m_table->currentIndex().isValid())
                showInMonitor(m_table->currentIndex().row());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ondel
