#include "BrowserModel.h"

#include "ui/toolkit/PlainText.h"

#include "browser/CountryLookup.h"

#include <QApplication>
#include <QBrush>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <algorithm>

namespace ondel {

BrowserModel::BrowserModel(QObject* parent)
    : QAbstractTableModel(parent),
      // A regional indicator symbol in the font: flags can be drawn, not just letters.
      m_flags(QFontMetrics(QApplication::font()).inFontUcs4(0x1F1E9)) {}

void BrowserModel::screen(BrowserRow& row) const {
    row.country = m_countries ? m_countries->countryOf(row.address.host) : std::string();
    row.blockedBy = m_blocklist.blockingAddress(row.address)
                        .value_or(m_blocklist.blockingName(row.name).value_or(""));
}

void BrowserModel::setCountryLookup(const CountryLookup* countries) {
    m_countries = countries;
    setBlocklist(m_blocklist);
}

void BrowserModel::setBlocklist(Blocklist blocklist) {
    beginResetModel();
    m_blocklist = std::move(blocklist);
    for (auto& row : m_rows)
        screen(row);
    endResetModel();
}

std::string BrowserModel::key(const ServerAddress& address) {
    return addressText(address);
}

void BrowserModel::rebuildIndex() {
    m_index.clear();
    // A list may hold the same server twice: the first one gets the results, as in the list.
    for (std::size_t i = m_rows.size(); i-- > 0;)
        m_index[key(m_rows[i].address)] = static_cast<int>(i);
}

void BrowserModel::setRows(std::vector<BrowserRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    for (auto& row : m_rows)
        screen(row);
    rebuildIndex();
    endResetModel();
}

void BrowserModel::applyResults(const std::vector<ScanResult>& results) {
    int first = -1;
    int last = -1;
    for (const ScanResult& r : results) {
        const int i = indexOf(r.address);
        if (i < 0)
            continue;
        BrowserRow& row = m_rows[static_cast<std::size_t>(i)];
        applyResult(row, r);
        // The name may be on the blocklist: known only now that the server answered.
        screen(row);
        first = first < 0 ? i : std::min(first, i);
        last = std::max(last, i);
    }
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
}

int BrowserModel::indexOf(const ServerAddress& address) const {
    auto it = m_index.find(key(address));
    return it != m_index.end() ? it->second : -1;
}

int BrowserModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int BrowserModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(BrowserColumn::Count);
}

QVariant BrowserModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const BrowserRow& r = row(index.row());
    const auto column = static_cast<BrowserColumn>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        if (column == BrowserColumn::Country && m_flags && !r.country.empty())
            return displayText(countryFlag(r.country) + " " + r.country);
        return displayText(cellText(r, column));
    case Qt::ToolTipRole:
        if (column == BrowserColumn::Name && !r.madeUp.empty())
            return QStringLiteral("<qt>Suspect: %1<br>%2")
                .arg(displayText(r.madeUp).toHtmlEscaped(),
                     displayText(cellText(r, column)).toHtmlEscaped());
        if (column == BrowserColumn::Password && r.password)
            return QStringLiteral("Password required");
        if (column == BrowserColumn::Name && !r.name.empty())
            // Tool tips guess at markup; the name is escaped inside a forced rich text, so
            // that it always shows exactly as the server sent it.
            return QStringLiteral("<qt>") + displayText(cellText(r, column)).toHtmlEscaped();
        return {};
    case Qt::DecorationRole:
        if (column == BrowserColumn::Password && r.password)
            return lockIcon();
        if (column == BrowserColumn::Name && !r.madeUp.empty())
            return fakeIcon();
        return {};
    case Qt::TextAlignmentRole:
        if (column == BrowserColumn::Players || column == BrowserColumn::Ping)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::ForegroundRole:
        if (r.state == BrowserRow::State::Timeout)
            return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
        return {};
    default:
        return {};
    }
}

QVariant BrowserModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    const auto column = static_cast<BrowserColumn>(section);
    if (role == Qt::DisplayRole) {
        switch (column) {
        case BrowserColumn::Name:
            return QStringLiteral("Name");
        case BrowserColumn::Address:
            return QStringLiteral("Address");
        case BrowserColumn::Map:
            return QStringLiteral("Map");
        case BrowserColumn::Players:
            return QStringLiteral("Players");
        case BrowserColumn::Ping:
            return QStringLiteral("Ping");
        case BrowserColumn::Game:
            return QStringLiteral("Game");
        case BrowserColumn::Password:
            return QString();
        case BrowserColumn::Dialect:
            return QStringLiteral("Dialect");
        case BrowserColumn::Country:
            return QStringLiteral("Country");
        case BrowserColumn::Count:
            break;
        }
    }
    if (column == BrowserColumn::Password) {
        if (role == Qt::DecorationRole)
            return lockIcon();
        if (role == Qt::ToolTipRole)
            return QStringLiteral("Password");
    }
    return {};
}

QIcon BrowserModel::lockIcon() {
    static const QIcon icon = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(90, 90, 90), 2));
        p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16); // the shackle
        p.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
        p.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 150, 30));
        p.drawRoundedRect(QRectF(2.5, 7.5, 11, 8), 1.5, 1.5); // the body
        p.setBrush(QColor(60, 40, 0));
        p.drawEllipse(QPointF(8, 11), 1.3, 1.3); // the key hole
        return QIcon(pixmap);
    }();
    return icon;
}

QIcon BrowserModel::fakeIcon() {
    static const QIcon icon = [] {
        // A warning triangle with an exclamation mark.
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(120, 70, 0), 1));
        p.setBrush(QColor(240, 170, 20));
        const QPointF corners[] = {{8, 1.5}, {15, 14.5}, {1, 14.5}};
        p.drawPolygon(corners, 3);
        p.setPen(QPen(QColor(40, 20, 0), 2));
        p.drawLine(QPointF(8, 5.5), QPointF(8, 10));
        p.drawPoint(QPointF(8, 12.5));
        return QIcon(pixmap);
    }();
    return icon;
}

} // namespace ondel
