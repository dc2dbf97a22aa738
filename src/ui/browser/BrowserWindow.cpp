#include "BrowserWindow.h"

#include "BlocklistDialog.h"
#include "BrowserModel.h"
#include "BrowserProxyModel.h"
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

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
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
    resize(920, 560);

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

    m_filterEdit = new QLineEdit(this);
    m_filterEdit->setPlaceholderText(QStringLiteral("name, map or address"));
    m_filterEdit->setClearButtonEnabled(true);
    m_hideEmpty = new QCheckBox(QStringLiteral("Hide empty"), this);
    m_hideFull = new QCheckBox(QStringLiteral("Hide full"), this);
    m_hidePassword = new QCheckBox(QStringLiteral("Hide password-protected"), this);
    m_hideSuspect = new QCheckBox(QStringLiteral("Hide suspect servers"), this);
    m_hideSuspect->setToolTip(
        QStringLiteral("Servers whose answers look made up (a fake server farm's lure)"));
    m_hideSuspect->setChecked(true);
    m_playerEdit = new QLineEdit(this);
    m_playerEdit->setPlaceholderText(QStringLiteral("part of a name"));
    m_playerEdit->setClearButtonEnabled(true);
    connect(m_filterEdit, &QLineEdit::textChanged, this, &BrowserWindow::onFilterChanged);
    connect(m_playerEdit, &QLineEdit::textChanged, this, &BrowserWindow::onFilterChanged);
    for (QCheckBox* box : {m_hideEmpty, m_hideFull, m_hidePassword, m_hideSuspect})
        connect(box, &QCheckBox::toggled, this, &BrowserWindow::onFilterChanged);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Filter:"), this));
    filters->addWidget(m_filterEdit, 2);
    filters->addWidget(m_hideEmpty);
    filters->addWidget(m_hideFull);
    filters->addWidget(m_hidePassword);
    filters->addWidget(m_hideSuspect);
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
    m_table->installEventFilter(this);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    const int widths[] = {300, 150, 110, 110, 60, 130, 28, 70, 70};
    static_assert(std::size(widths) == static_cast<std::size_t>(BrowserColumn::Count));
    for (int c = 0; c < static_cast<int>(BrowserColumn::Count); ++c)
        header->resizeSection(c, widths[c]);
    // Shown once there is a country database (setCountryLookup).
    m_table->setColumnHidden(static_cast<int>(BrowserColumn::Country), true);
    header->setSectionResizeMode(static_cast<int>(BrowserColumn::Name), QHeaderView::Stretch);
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

    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(filters);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_status);
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
    m_model->setRows({});
    reloadList();
    fillListSelector();
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QString());
}

void BrowserWindow::reloadList() {
    const ServerList* list = shownList();
    std::unordered_map<std::string, const BrowserRow*> known;
    for (const BrowserRow& row : m_model->rows())
        known.emplace(addressText(row.address), &row);
    std::vector<BrowserRow> rows;
    if (list != nullptr) {
        rows.reserve(list->size());
        for (const ServerEntry& entry : list->entries()) {
            BrowserRow row = rowFromEntry(entry);
            if (auto it = known.find(addressText(entry.address)); it != known.end()) {
                const BrowserRow& old = *it->second;
                row.state = old.state;
                row.dialect = old.dialect;
                row.bots = old.bots;
                if (old.state != BrowserRow::State::Unknown)
                    row.pingMs = old.pingMs;
            }
            rows.push_back(std::move(row));
        }
    }
    m_model->setRows(std::move(rows));
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
    updateStatus();
    emit listUpdated();
}

void BrowserWindow::announceWatched(const ScanResult& result) {
    // Only a players answer says who is there; silence says nothing.
    if (result.status != ScanResult::Status::Up || !result.gotPlayers)
        return;
    std::vector<std::string> names;
    names.reserve(result.entry.playerList.size());
    for (const PlayerRecord& player : result.entry.playerList)
        names.push_back(text::toDisplayUtf8(player.name)); // as the user types them: UTF-8
    const std::string address = addressText(result.address);
    const std::vector<std::string> arrived = m_watch.update(address, names);
    if (m_notifier == nullptr)
        return;
    // Server text, on one line and shortened: it may be anything up to a datagram's length.
    const std::string server =
        withVisibleControls(text::cutUtf8(text::toDisplayUtf8(result.entry.hostName), 100));
    for (const std::string& name : arrived)
        m_notifier->notify("Watched player online", withVisibleControls(text::cutUtf8(name, 64)) +
                                                        " joined " + server + " (" +
                                                        text::toDisplayUtf8(address) + ")");
}

void BrowserWindow::setWatchedPlayers(const std::vector<std::string>& names) {
    // As the settings will give them back: one name per line, no blanks around it.
    m_watch.setWatched(watchListFromText(watchListText(names)));
    settings::write(m_settings, settings::kWatchedPlayers, watchListText(m_watch.watched()));
}

void BrowserWindow::editWatchList() {
    WatchListDialog dialog(m_watch.watched(), this);
    if (dialog.exec() == QDialog::Accepted)
        setWatchedPlayers(dialog.names());
}

void BrowserWindow::onFilterChanged() {
    BrowserFilter filter;
    filter.text = m_filterEdit->text().trimmed().toStdString();
    filter.player = m_playerEdit->text().trimmed().toStdString();
    filter.hideEmpty = m_hideEmpty->isChecked();
    filter.hideFull = m_hideFull->isChecked();
    filter.hidePassword = m_hidePassword->isChecked();
    filter.hideSuspect = m_hideSuspect->isChecked();
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

void BrowserWindow::showInMonitor(int proxyRow) {
    const BrowserRow* row = m_proxy->rowAt(proxyRow);
    const int list = listIndex();
    if (row == nullptr || list < 0 || !m_actions.show)
        return;
    m_actions.show(static_cast<std::size_t>(list), row->address);
}

std::unique_ptr<QMenu> BrowserWindow::contextMenuFor(int proxyRow) {
    const BrowserRow* row = m_proxy->rowAt(proxyRow);
    if (row == nullptr)
        return nullptr;
    const ServerAddress address = row->address;
    auto menu = std::make_unique<QMenu>(this);
    QAction* connectAction = menu->addAction(QStringLiteral("&Connect ..."));
    connect(connectAction, &QAction::triggered, this, [this, address] {
        const int list = listIndex();
        if (list >= 0 && m_actions.connect)
            m_actions.connect(static_cast<std::size_t>(list), address);
    });
    connectAction->setEnabled(static_cast<bool>(m_actions.connect));
    connect(menu->addAction(QStringLiteral("Copy &address")), &QAction::triggered, this,
            [address] { QApplication::clipboard()->setText(fromBytes(addressText(address))); });
    QMenu* addTo = menu->addMenu(QStringLiteral("Add to &list"));
    const int shown = listIndex();
    for (std::size_t i = 0; i < m_lists.size(); ++i) {
        if (static_cast<int>(i) == shown)
            continue;
        const ServerList& l = m_lists.at(i);
        // The target list is named by its file, which stays put while the menu is open.
        const std::string path = l.filePath();
        connect(addTo->addAction(fromBytes(l.name() + " (" + l.sourcePath() + ")")),
                &QAction::triggered, this, [this, path, address] {
                    const int target = m_lists.findByFilePath(path);
                    if (target >= 0)
                        addToList(static_cast<std::size_t>(target), address);
                });
    }
    addTo->setEnabled(!addTo->isEmpty());
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("&Remove")), &QAction::triggered, this,
            [this, address] { removeServer(address); });
    QAction* blockServer = menu->addAction(QStringLiteral("&Block this server"));
    connect(blockServer, &QAction::triggered, this, [this, address] { block(address, false); });
    QAction* blockAddress = menu->addAction(QStringLiteral("Block this a&ddress"));
    connect(blockAddress, &QAction::triggered, this, [this, address] { block(address, true); });
    // A host name has no one address to block; and without a data folder there is no list.
    blockServer->setEnabled(!m_blocklistPath.empty());
    blockAddress->setEnabled(!m_blocklistPath.empty() && Blocklist::addressLine(address));
    return menu;
}

void BrowserWindow::setBlocklistPath(std::string path) {
    m_blocklistPath = std::move(path);
    reloadBlocklist();
}

void BrowserWindow::reloadBlocklist() {
    m_model->setBlocklist(m_blocklistPath.empty() ? Blocklist() : Blocklist::load(m_blocklistPath));
    updateStatus();
}

void BrowserWindow::block(const ServerAddress& address, bool wholeAddress) {
    if (m_blocklistPath.empty())
        return;
    const std::optional<std::string> line =
        wholeAddress ? Blocklist::addressLine(address) : Blocklist::serverLine(address);
    if (!line)
        return;
    if (!appendBlocklistLine(m_blocklistPath, *line)) {
        m_prompt.message("Error",
                         text::format("Can't write the blocklist %s!!!",
                                      text::toDisplayUtf8(m_blocklistPath).c_str()),
                         Prompt::Buttons::Ok, Prompt::Icon::Error);
        return;
    }
    reloadBlocklist();
}

void BrowserWindow::editBlocklist() {
    if (m_blocklistPath.empty())
        return;
    BlocklistDialog dialog(m_blocklistPath, this);
    dialog.exec();
    reloadBlocklist();
}

void BrowserWindow::setCountryLookup(const CountryLookup* countries) {
    m_model->setCountryLookup(countries);
    m_table->setColumnHidden(static_cast<int>(BrowserColumn::Country), countries == nullptr);
}

void BrowserWindow::addToList(std::size_t target, const ServerAddress& address) {
    const ServerList* source = shownList();
    if (source == nullptr || target >= m_lists.size() || &m_lists.at(target) == source)
        return;
    const int i = source->find(address);
    if (i < 0)
        return;
    m_lists.at(target).storeEntry(source->entries()[static_cast<std::size_t>(i)]);
    emit listUpdated();
}

void BrowserWindow::removeServer(const ServerAddress& address) {
    const int row = m_model->indexOf(address);
    const std::string name = row >= 0 ? m_model->row(row).name : std::string();
    const std::string question = "Delete " + text::toDisplayUtf8(addressText(address)) + " " +
                                 withVisibleControls(name) + "?";
    if (m_prompt.message("Delete", question, Prompt::Buttons::OkCancel, Prompt::Icon::Question) !=
        Prompt::Answer::Ok)
        return;
    if (ServerList* list = shownList()) {
        const int i = list->find(address);
        if (i >= 0)
            list->removeAt(static_cast<std::size_t>(i));
    }
    // The list may hold it twice: the row stays for the second one.
    reloadList();
    emit listUpdated();
}

bool BrowserWindow::eventFilter(QObject* watched, QEvent* event) {
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
