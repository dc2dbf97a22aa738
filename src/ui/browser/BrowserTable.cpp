#include "BrowserTable.h"

#include "browser/BrowserRow.h"
#include "settings/SettingsKeys.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <QStringList>

#include <algorithm>
#include <optional>
#include <vector>

namespace ondel {

BrowserTable::BrowserTable(QAbstractItemModel* model, QWidget* parent) : QTableView(parent) {
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(true);
    setShowGrid(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setTabKeyNavigation(false);
    setAccessibleName(QStringLiteral("Servers"));
    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    const int widths[] = {300, 150, 110, 110, 60, 130, 28, 70, 70};
    static_assert(std::size(widths) == static_cast<std::size_t>(BrowserColumn::Count));
    for (int c = 0; c < static_cast<int>(BrowserColumn::Count); ++c)
        header->resizeSection(c, widths[c]);
    // Shown once there is a country database.
    setColumnHidden(static_cast<int>(BrowserColumn::Country), true);
    connect(header, &QHeaderView::sectionResized, this, [this](int section) {
        if (section != static_cast<int>(BrowserColumn::Name))
            fitNameColumn();
    });
    header->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { emit showRequested(index.row()); });
    connect(this, &QTableView::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = indexAt(pos);
        if (index.isValid())
            emit menuRequested(index.row(), viewport()->mapToGlobal(pos));
    });
}

namespace {

constexpr int kColumns = static_cast<int>(BrowserColumn::Count);
constexpr int kMaxWidth = 10000;

// The numbers of one group of the stored columns, each within [low, high]; nothing when a number
// is not one or out of range, or the count is not count.
std::optional<std::vector<int>> numbers(const QString& group, int count, int low, int high) {
    const QStringList parts = group.split(QLatin1Char(','));
    if (parts.size() != count)
        return std::nullopt;
    std::vector<int> out;
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || n < low || n > high)
            return std::nullopt;
        out.push_back(n);
    }
    return out;
}

} // namespace

// Stored as "WIDTHS;ORDER;SORT": the width of each column by its number (0: hidden, keeps its
// default), the column shown at each place from the left, and the sort column (-1: unsorted) with
// its order (0 ascending, 1 descending).
std::string BrowserTable::headerText() const {
    const QHeaderView* header = horizontalHeader();
    QStringList widths;
    QStringList order;
    for (int c = 0; c < kColumns; ++c) {
        widths << QString::number(header->isSectionHidden(c) ? 0 : header->sectionSize(c));
        order << QString::number(header->logicalIndex(c));
    }
    return QStringLiteral("%1;%2;%3,%4")
        .arg(widths.join(QLatin1Char(',')), order.join(QLatin1Char(',')))
        .arg(header->sortIndicatorSection())
        .arg(header->sortIndicatorOrder() == Qt::DescendingOrder ? 1 : 0)
        .toStdString();
}

void BrowserTable::restoreHeader(SettingsStore& settings) {
    m_settings = &settings;
    const QStringList groups =
        QString::fromStdString(settings::read(settings, settings::kBrowserHeader))
            .split(QLatin1Char(';'));
    if (groups.size() != 3 || horizontalHeader()->count() != kColumns)
        return;
    const auto widths = numbers(groups[0], kColumns, 0, kMaxWidth);
    const auto order = numbers(groups[1], kColumns, 0, kColumns - 1);
    const auto sort = numbers(groups[2], 2, -1, kColumns - 1);
    if (!widths || !order || !sort || (*sort)[1] > 1)
        return;
    std::vector<bool> seen(kColumns, false);
    for (int column : *order) {
        if (seen[static_cast<std::size_t>(column)])
            return; // not an order of the columns
        seen[static_cast<std::size_t>(column)] = true;
    }
    QHeaderView* header = horizontalHeader();
    for (int place = 0; place < kColumns; ++place)
        header->moveSection(header->visualIndex((*order)[static_cast<std::size_t>(place)]), place);
    for (int c = 0; c < kColumns; ++c)
        if (const int width = (*widths)[static_cast<std::size_t>(c)]; width > 0)
            header->resizeSection(c, width);
    if ((*sort)[0] >= 0)
        sortByColumn((*sort)[0], (*sort)[1] == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    fitNameColumn();
}

void BrowserTable::fitNameColumn() {
    if (m_fittingName)
        return;
    m_fittingName = true;
    QHeaderView* header = horizontalHeader();
    const int name = static_cast<int>(BrowserColumn::Name);
    int others = 0;
    for (int c = 0; c < header->count(); ++c)
        if (c != name && !header->isSectionHidden(c))
            others += header->sectionSize(c);
    header->resizeSection(name, std::max(kMinNameWidth, viewport()->width() - others));
    m_fittingName = false;
}

bool BrowserTable::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize)
        fitNameColumn();
    return QTableView::viewportEvent(event);
}

void BrowserTable::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (currentIndex().isValid())
            emit showRequested(currentIndex().row());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void BrowserTable::hideEvent(QHideEvent* event) {
    if (m_settings != nullptr)
        settings::write(*m_settings, settings::kBrowserHeader, headerText());
    QTableView::hideEvent(event);
}

} // namespace ondel
