#pragma once

#include "browser/BrowserRow.h"

#include <QSortFilterProxyModel>

namespace ondel {

class BrowserModel;

// The browser's view of the model: the rows the filter lets through, sorted by the rules of
// compareRows (numbers as numbers, texts case-insensitively and naturally); rows with nothing
// to show in the sort column (sortRank) come last in both directions. GUI thread only.
class BrowserProxyModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit BrowserProxyModel(BrowserModel& model, QObject* parent = nullptr);

    void setFilter(BrowserFilter filter);
    const BrowserFilter& filter() const { return m_filter; }

    // The source row shown at proxy row, or nullptr.
    const BrowserRow* rowAt(int proxyRow) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    BrowserModel& m_model;
    BrowserFilter m_filter;
};

} // namespace ondel
