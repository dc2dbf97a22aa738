#include "ServerSelector.h"

#include "ServerItemDelegate.h"
#include "common/Text.h"
#include "serverlist/ServerListOrder.h"
#include "ui/toolkit/PlainText.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>

namespace ondel {

ServerSelector::ServerSelector(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(20);
    setItemDelegate(new ServerItemDelegate(this));
    view()->installEventFilter(this);
}

void ServerSelector::setEntries(const std::vector<const ServerEntry*>& entries, int recentEnd) {
    const QString text = currentText();
    const bool blocked = blockSignals(true);
    clear();
    for (const ServerEntry* e : entries) {
        addItem(displayText(text::toDisplayUtf8(selectorItemText(*e))));
        const int i = count() - 1;
        setItemData(i, displayText(text::toDisplayUtf8(addressText(e->address))), AddressTextRole);
        setItemData(i, displayText(text::toDisplayUtf8(e->gameDir)), GameDirRole);
        setItemData(i, displayText(text::toDisplayUtf8(e->hostName)), HostNameRole);
        setItemData(i, QByteArray::fromStdString(e->address.host), HostBytesRole);
        setItemData(i, e->address.port, PortRole);
    }
    setCurrentIndex(-1);
    lineEdit()->setText(text);
    blockSignals(blocked);
    m_recentEnd = recentEnd;
    m_measureAgain = true;
}

std::optional<ServerAddress> ServerSelector::addressAt(int index) const {
    if (index < 0 || index >= count())
        return std::nullopt;
    ServerAddress a;
    a.host = itemData(index, HostBytesRole).toByteArray().toStdString();
    a.port = itemData(index, PortRole).toInt();
    return a;
}

void ServerSelector::setEditTextQuietly(const QString& text) {
    const bool blocked = blockSignals(true);
    lineEdit()->setText(text);
    blockSignals(blocked);
}

void ServerSelector::measure() const {
    if (!m_measureAgain)
        return;
    QFontMetrics fm(view()->font());
    m_addressWidth = 0;
    m_gameWidth = 0;
    for (int i = 0; i < count(); ++i) {
        m_addressWidth =
            std::max(m_addressWidth, fm.horizontalAdvance(itemData(i, AddressTextRole).toString()));
        m_gameWidth =
            std::max(m_gameWidth, fm.horizontalAdvance(itemData(i, GameDirRole).toString()));
    }
    m_measureAgain = false;
}

int ServerSelector::addressColumnWidth() const {
    measure();
    return m_addressWidth;
}

int ServerSelector::gameColumnWidth() const {
    measure();
    return m_gameWidth;
}

void ServerSelector::showPopup() {
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

bool ServerSelector::isPopupVisible() const {
    return view()->isVisible();
}

bool ServerSelector::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Delete: {
            const int row = view()->currentIndex().row();
            const int top = view()->indexAt(QPoint(1, 1)).row();
            if (row >= 0)
                emit deleteRequested(row, top < 0 ? 0 : top);
            return true;
        }
        case Qt::Key_Left:
        case Qt::Key_Right:
            return true;
        default:
            // Typed characters would start a keyboard search in the list; they are swallowed.
            if (!key->text().isEmpty() && key->text().at(0).isPrint())
                return true;
            break;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

} // namespace ondel
