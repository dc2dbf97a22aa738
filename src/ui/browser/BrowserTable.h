#pragma once

#include <QTableView>

#include <string>

namespace ondel {

class SettingsStore;

// The browser's table of servers: whole rows selected one at a time, columns movable and sorted
// by a click on their header (unsorted, in the list's own order, until then). Name takes the
// spare width but never less than kMinNameWidth (a narrow window scrolls instead). Tab leaves
// the table as it leaves every other control; Enter and a double-click ask to show the current
// server. The columns' widths, order and sort are kept in the settings whenever the table is
// hidden (its window closed) and taken back by restoreHeader. GUI thread only.
class BrowserTable : public QTableView {
    Q_OBJECT
public:
    // The minimum width of the Name column; it takes the table's spare width beyond that.
    static constexpr int kMinNameWidth = 220;

    explicit BrowserTable(QAbstractItemModel* model, QWidget* parent = nullptr);

    // Takes back the stored columns (a stored text that does not describe this table's columns is
    // ignored) and keeps them in settings from then on. The store must outlive the table.
    void restoreHeader(SettingsStore& settings);

signals:
    // Enter or a double-click on the row shown at proxyRow.
    void showRequested(int proxyRow);
    // The context menu asked for over the row shown at proxyRow, at a global position.
    void menuRequested(int proxyRow, const QPoint& globalPos);

protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void fitNameColumn();
    std::string headerText() const;

    SettingsStore* m_settings = nullptr;
    bool m_fittingName = false;
};

} // namespace ondel
