#pragma once

#include "monitor/CellColour.h"

#include <QTreeWidget>

#include <cstdint>
#include <vector>

namespace ondel {

// A report list (rows and header columns) whose every cell can have its own text colour, with a
// fading of all colours of the list at once. Rows carry the caller's own 32-bit value. Rows are
// drawn by the list itself: white, navy when selected (colours inverted), grey when disabled.
// The list never sorts itself: a header click is reported and the owner refills the rows.
// GUI thread only.
class ColorListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    struct Column {
        QString header;
        int width = 0; // pixels; 0 hides the column
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    explicit ColorListCtrl(QWidget* parent = nullptr);
    ~ColorListCtrl() override;

    void setColumns(const std::vector<Column>& columns);
    int columnCountOf() const { return static_cast<int>(m_alignments.size()); }
    Qt::Alignment columnAlignment(int column) const;

    int rowCount() const { return topLevelItemCount(); }
    // Inserts a row (text in column 0) at index (clamped to the row count); returns its index.
    int insertRow(int index, const QString& text);
    bool setItemText(int row, int column, const QString& text);
    QString itemText(int row, int column) const;
    void deleteRow(int row);
    void deleteAllRows();

    // Colours are kept per row for the header columns only; kNormalColour is the list's text
    // colour. A row without stored colours shows the normal colour in every cell.
    void setCellColour(int row, int column, CellColour colour);
    CellColour cellColour(int row, int column) const;
    // Empties every row's colours; returns the number of rows.
    int resetColours();

    // The caller's own value of a row (0 for a new row); false/0 for a row that does not exist.
    bool setRowValue(int row, std::int32_t value);
    std::int32_t rowValue(int row) const;

    bool setRowSelected(int row, bool selected);
    bool isRowSelected(int row) const;

    // 0 unchanged, above 0 darker, below 0 lighter (see fadeColour).
    int fadePercent() const { return m_fadePercent; }
    void setFadePercent(int percent);

    // Repaints every row; unless keepArea is set, also the empty area below the last row.
    void repaintRows(bool keepArea);

    // The colour a cell is drawn in now: its colour (or the normal one), faded, and inverted on
    // a selected row.
    QColor drawnColour(int row, int column) const;
    QColor normalTextColour() const;

signals:
    // A click on a header column (logical index; the list does not sort by itself).
    void headerClicked(int column);
    // A row's selected state changed (by the user or by setRowSelected).
    void rowSelectionChanged(int row, bool selected);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Row;
    class Delegate;
    Row* rowAt(int row) const;
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);

    std::vector<Qt::Alignment> m_alignments;
    int m_fadePercent = 0;
};

// Brings a view's rows in line with rows, in place: row i is filled by fill(i, rows[i]), missing
// rows are added and rows past the end removed, with painting held back until all is done (a
// view rebuilt from nothing every second would flicker and lose its scroll position).
template <typename Row, typename Fill>
void syncRows(ColorListCtrl& view, const std::vector<Row>& rows, int fadePercent, Fill fill) {
    const int before = view.rowCount();
    view.setUpdatesEnabled(false);
    view.resetColours();
    view.setFadePercent(fadePercent);
    const int count = static_cast<int>(rows.size());
    for (int i = 0; i < count; ++i) {
        if (i >= view.rowCount())
            view.insertRow(i, QString());
        fill(i, rows[static_cast<std::size_t>(i)]);
    }
    while (view.rowCount() > count)
        view.deleteRow(view.rowCount() - 1);
    view.setUpdatesEnabled(true);
    // The area below the rows needs painting only when rows went away.
    view.repaintRows(before <= count);
}

} // namespace ondel
