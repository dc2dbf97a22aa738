#include "ServerItemDelegate.h"

#include "ServerSelector.h"

#include <QPainter>

namespace ondel {

ServerItemDelegate::ServerItemDelegate(ServerSelector* selector)
    : QStyledItemDelegate(selector), m_selector(selector) {}

QSize ServerItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(option.fontMetrics.height() + 4);
    return size;
}

void ServerItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const int addressWidth = m_selector->addressColumnWidth();
    const int gameWidth = m_selector->gameColumnWidth();
    const bool enabled = m_selector->isEnabled();
    const bool highlighted = option.state.testFlag(QStyle::State_Selected) ||
                             option.state.testFlag(QStyle::State_HasFocus);
    const QPalette& pal = option.palette;

    painter->save();
    QColor background = !enabled      ? pal.color(QPalette::Button)
                        : highlighted ? pal.color(QPalette::Highlight)
                                      : pal.color(QPalette::Base);
    QColor text =
        enabled && highlighted ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
    painter->fillRect(option.rect, background);

    // The line between the recent section and the rest of the list.
    const int recentEnd = m_selector->recentEnd();
    if (recentEnd >= 0) {
        painter->setPen(QPen(pal.color(QPalette::WindowText), 1));
        if (index.row() == recentEnd)
            painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(),
                              option.rect.bottom());
        else if (index.row() == recentEnd + 1)
            painter->drawLine(option.rect.left(), option.rect.top(), option.rect.right(),
                              option.rect.top());
    }

    if (highlighted && enabled) {
        QStyleOptionFocusRect focus;
        focus.rect = option.rect;
        focus.state = option.state | QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = background;
        m_selector->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, m_selector);
    }

    const QRect inner = option.rect.adjusted(1, 1, -1, -1);
    const QFontMetrics& fm = option.fontMetrics;
    painter->setFont(option.font);
    painter->setPen(text);
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;

    const QString address = index.data(ServerSelector::AddressTextRole).toString();
    const QString game = index.data(ServerSelector::GameDirRole).toString();
    const QString name = index.data(ServerSelector::HostNameRole).toString();

    QRect addressRect(inner.left(), inner.top(), addressWidth + 1, inner.height());
    painter->drawText(addressRect, flags | Qt::AlignLeft,
                      fm.elidedText(address, Qt::ElideRight, addressRect.width()));

    const int x = inner.left() + 1 + addressWidth + 8;
    QRect gameRect(x, inner.top(), gameWidth, inner.height());
    painter->drawText(gameRect, flags | Qt::AlignHCenter, game);
    const int nameLeft = x + gameWidth + 8;
    QRect nameRect(nameLeft, inner.top(), std::max(0, inner.right() - nameLeft + 1),
                   inner.height());
    painter->drawText(nameRect, flags | Qt::AlignLeft,
                      fm.elidedText(name, Qt::ElideRight, nameRect.width()));

    painter->setPen(QPen(pal.color(QPalette::Disabled, QPalette::Text), 1, Qt::SolidLine));
    painter->drawLine(x - 4, option.rect.top(), x - 4, option.rect.bottom());
    painter->drawLine(x + gameWidth + 4, option.rect.top(), x + gameWidth + 4,
                      option.rect.bottom());
    painter->restore();
}

} // namespace ondel
