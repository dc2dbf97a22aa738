#pragma once

#include <QTableView>

namespace ondel {

// The browser's table of servers: whole rows selected one at a time, columns movable and sorted
// by a click on their header (unsorted, in the list's own order, until then). Name takes the
// spare width but never less than kMinNameWidth (a narrow window scrolls instead). Tab leaves
// the table as it leaves every other control; Enter and a double-click ask to show the current
// server. GUI thread only.
class BrowserTable : public QTableView {
    Q_OBJECT
public:
    // The minimum width of the Name column; it takes the table's spare width beyond that.
    static constexpr int kMinNameWidth = 220;

    explicit BrowserTable(QAbstractItemModel* model, QWidget* parent = nullptr);

signals:
    // Enter or a double-click on the row shown at proxyRow.
    void showRequested(int proxyRow);
    // The context menu asked for over the row shown at proxyRow, at a global position.
    void menuRequested(int proxyRow, const QPoint& globalPos);

protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fitNameColumn();

    bool m_fittingName = false;
};

} // namespace ondel
