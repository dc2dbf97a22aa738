#include "ColorListCtrl.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace ondel {

// The row record: the caller's value and one colour per header column, grown on demand.
class ColorListCtrl::Row : public QTreeWidgetItem {
public:
    Row() : QTreeWidgetItem(QTreeWidgetItem::UserType) {}
    std::int32_t value = 0;
    std::vector<CellColour> colours;
};

class ColorListCtrl::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(ColorListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        QColor background = !m_list->isEnabled() ? QColor(128, 128, 128)
                            : selected           ? QColor(0, 0, 128)
                                                 : QColor(Qt::white);
        painter->save();
        painter->fillRect(option.rect, background);
        const int row = index.row();
        const int column = index.column();
        QRect textRect = option.rect.adjusted(2, 0, -2, 0);
        if (textRect.width() > 0) {
            painter->setFont(option.font);
            painter->setPen(m_list->drawnColour(row, column));
            const QString text = index.data(Qt::DisplayRole).toString();
            const QString shown =
                option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width());
            painter->drawText(textRect,
                              static_cast<int>(m_list->columnAlignment(column) | Qt::AlignVCenter |
                                               Qt::TextSingleLine),
                              shown);
        }
        painter->restore();
    }

private:
    ColorListCtrl* m_list;
};

ColorListCtrl::ColorListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new Delegate(this));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header(), &QHeaderView::sectionClicked, this, &ColorListCtrl::headerClicked);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ColorListCtrl::onSelectionChanged);
}

ColorListCtrl::~ColorListCtrl() = default;

void ColorListCtrl::setColumns(const std::vector<Column>& columns) {
    setColumnCount(static_cast<int>(columns.size()));
    QStringList labels;
    m_alignments.clear();
    for (const Column& c : columns) {
        labels << c.header;
        m_alignments.push_back(c.alignment);
    }
    setHeaderLabels(labels);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        headerItem()->setTextAlignment(i, columns[static_cast<std::size_t>(i)].alignment |
                                              Qt::AlignVCenter);
        if (columns[static_cast<std::size_t>(i)].width <= 0) {
            header()->hideSection(i);
        } else {
            header()->showSection(i);
            header()->resizeSection(i, columns[static_cast<std::size_t>(i)].width);
        }
    }
}

Qt::Alignment ColorListCtrl::columnAlignment(int column) const {
    if (column < 0 || column >= static_cast<int>(m_alignments.size()))
        return Qt::AlignLeft;
    return m_alignments[static_cast<std::size_t>(column)];
}

ColorListCtrl::Row* ColorListCtrl::rowAt(int row) const {
    if (row < 0 || row >= topLevelItemCount())
        return nullptr;
    return static_cast<Row*>(topLevelItem(row));
}

int ColorListCtrl::insertRow(int index, const QString& text) {
    if (index < 0)
        index = 0;
    if (index > topLevelItemCount())
        index = topLevelItemCount();
    auto* row = new Row;
    row->setText(0, text);
    insertTopLevelItem(index, row);
    return index;
}

bool ColorListCtrl::setItemText(int row, int column, const QString& text) {
    Row* r = rowAt(row);
    if (r == nullptr || column < 0 || column >= columnCount())
        return false;
    if (r->text(column) != text)
        r->setText(column, text);
    return true;
}

QString ColorListCtrl::itemText(int row, int column) const {
    Row* r = rowAt(row);
    return r != nullptr ? r->text(column) : QString();
}

void ColorListCtrl::deleteRow(int row) {
    if (Row* r = rowAt(row))
        delete r;
}

void ColorListCtrl::deleteAllRows() {
    clear();
}

void ColorListCtrl::setCellColour(int row, int column, CellColour colour) {
    Row* r = rowAt(row);
    if (r == nullptr || column < 0 || column >= columnCount())
        return;
    if (r->colours.size() < static_cast<std::size_t>(column) + 1)
        r->colours.resize(static_cast<std::size_t>(column) + 1, kNormalColour);
    r->colours[static_cast<std::size_t>(column)] = colour;
}

CellColour ColorListCtrl::cellColour(int row, int column) const {
    Row* r = rowAt(row);
    if (r == nullptr || column < 0 || static_cast<std::size_t>(column) >= r->colours.size())
        return kNormalColour;
    return r->colours[static_cast<std::size_t>(column)];
}

int ColorListCtrl::resetColours() {
    const int n = topLevelItemCount();
    for (int i = 0; i < n; ++i)
        rowAt(i)->colours.clear();
    return n;
}

bool ColorListCtrl::setRowValue(int row, std::int32_t value) {
    Row* r = rowAt(row);
    if (r == nullptr)
        return false;
    r->value = value;
    return true;
}

std::int32_t ColorListCtrl::rowValue(int row) const {
    Row* r = rowAt(row);
    return r != nullptr ? r->value : 0;
}

bool ColorListCtrl::setRowSelected(int row, bool selected) {
    Row* r = rowAt(row);
    if (r == nullptr)
        return false;
    if (r->isSelected() != selected)
        r->setSelected(selected);
    return true;
}

bool ColorListCtrl::isRowSelected(int row) const {
    Row* r = rowAt(row);
    return r != nullptr && r->isSelected();
}

void ColorListCtrl::setFadePercent(int percent) {
    m_fadePercent = percent;
}

void ColorListCtrl::repaintRows(bool keepArea) {
    // The item view repaints rows and the empty area below them together; the flag only
    // matters to callers that know nothing moved below the last row.
    if (keepArea && topLevelItemCount() > 0) {
        QRect last = visualItemRect(topLevelItem(topLevelItemCount() - 1));
        viewport()->update(QRect(0, 0, viewport()->width(), last.bottom() + 1));
    } else {
        viewport()->update();
    }
    header()->viewport()->update();
}

QColor ColorListCtrl::normalTextColour() const {
    return palette().color(QPalette::Text);
}

QColor ColorListCtrl::drawnColour(int row, int column) const {
    CellColour c = cellColour(row, column);
    if (c == kNormalColour) {
        QColor normal = normalTextColour();
        c = rgb(normal.red(), normal.green(), normal.blue());
    }
    c = fadeColour(c, m_fadePercent);
    if (isRowSelected(row))
        c = invertColour(c);
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

void ColorListCtrl::onSelectionChanged(const QItemSelection& selected,
                                       const QItemSelection& deselected) {
    // One notification per row whose state changed; the ranges hold one index per column.
    auto report = [this](const QItemSelection& selection, bool state) {
        std::vector<int> rows;
        for (const QModelIndex& index : selection.indexes()) {
            if (index.parent().isValid())
                continue;
            if (std::find(rows.begin(), rows.end(), index.row()) == rows.end())
                rows.push_back(index.row());
        }
        for (int row : rows)
            emit rowSelectionChanged(row, state);
    };
    report(deselected, false);
    report(selected, true);
}

void ColorListCtrl::closeEvent(QCloseEvent* event) {
    deleteAllRows();
    QTreeWidget::closeEvent(event);
}

} // namespace ondel
