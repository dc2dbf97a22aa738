#include "UpDownArrows.h"

#include <QKeyEvent>
#include <QToolButton>

namespace ondel {

UpDownArrows::UpDownArrows(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    m_up = new QToolButton(this);
    m_up->setArrowType(Qt::UpArrow);
    m_up->setFocusPolicy(Qt::NoFocus);
    m_up->setAutoRepeat(true);
    m_down = new QToolButton(this);
    m_down->setArrowType(Qt::DownArrow);
    m_down->setFocusPolicy(Qt::NoFocus);
    m_down->setAutoRepeat(true);
    connect(m_up, &QToolButton::clicked, this, [this] { emit stepped(-1); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit stepped(1); });
}

void UpDownArrows::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

void UpDownArrows::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        emit stepped(-1);
        return;
    }
    if (event->key() == Qt::Key_Down) {
        emit stepped(1);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace ondel
