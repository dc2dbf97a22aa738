#pragma once

#include <QStyledItemDelegate>

namespace ondel {

class ServerSelector;

// Draws one item of the server selector's drop-down list: address, game directory (centred)
// and server name in three columns divided by grey lines, a line between the recent section
// and the rest, the highlight and a focus rectangle on the highlighted item.
class ServerItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ServerItemDelegate(ServerSelector* selector);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    ServerSelector* m_selector;
};

} // namespace ondel
