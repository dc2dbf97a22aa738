#include "BrowserTable.h"

#include "browser/BrowserRow.h"

#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

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

} // namespace ondel
