#include "SizeGripCtrl.h"

#include <QEvent>
#include <QMouseEvent>

namespace ondel {

SizeGripCtrl::SizeGripCtrl(QWidget* parent) : QSizeGrip(parent) {
    // The grip draws only its ridges; whatever lies beneath shows through.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setCursor(Qt::SizeFDiagCursor);
}

void SizeGripCtrl::alignBottomRight(const QRect& area) {
    QSize size = sizeHint();
    setGeometry(area.right() + 1 - size.width(), area.bottom() + 1 - size.height(), size.width(),
                size.height());
}

bool SizeGripCtrl::parentMaximised() const {
    return m_hideWhileParentMaximised && window() != nullptr && window()->isMaximized();
}

void SizeGripCtrl::paintEvent(QPaintEvent* event) {
    if (parentMaximised())
        return;
    QSizeGrip::paintEvent(event);
}

void SizeGripCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

void SizeGripCtrl::mousePressEvent(QMouseEvent* event) {
    if (parentMaximised()) {
        event->accept();
        return;
    }
    QSizeGrip::mousePressEvent(event);
}

bool SizeGripCtrl::event(QEvent* event) {
    // The cursor follows the window's state: none of our own while maximised.
    if (event->type() == QEvent::Enter) {
        if (parentMaximised())
            unsetCursor();
        else
            setCursor(Qt::SizeFDiagCursor);
    }
    return QSizeGrip::event(event);
}

} // namespace ondel
