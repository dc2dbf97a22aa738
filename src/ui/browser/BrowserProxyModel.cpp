#include "BrowserProxyModel.h"

#include "BrowserModel.h"

namespace ondel {

BrowserProxyModel::BrowserProxyModel(BrowserModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), m_model(model) {
    setSourceModel(&model);
    setDynamicSortFilter(true);
}

void BrowserProxyModel::setFilter(BrowserFilter filter) {
    m_filter = std::move(filter);
    invalidateFilter();
}

const BrowserRow* BrowserProxyModel::rowAt(int proxyRow) const {
    const QModelIndex source = mapToSource(index(proxyRow, 0));
    return source.isValid() ? &m_model.row(source.row()) : nullptr;
}

bool BrowserProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return matches(m_model.row(sourceRow), m_filter);
}

bool BrowserProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const auto column = static_cast<BrowserColumn>(left.column());
    const BrowserRow& a = m_model.row(left.row());
    const BrowserRow& b = m_model.row(right.row());
    // Descending sorts ask with the two swapped: rows with nothing to show stay at the end.
    const int rankA = sortRank(a, column);
    const int rankB = sortRank(b, column);
    if (rankA != rankB)
        return sortOrder() == Qt::AscendingOrder ? rankA < rankB : rankA > rankB;
    const int c = compareRows(a, b, column);
    if (c != 0)
        return c < 0;
    // Equal keys keep the list's order.
    return left.row() < right.row();
}

} // namespace ondel
