#include "StretchForm.h"

#include <QResizeEvent>

#include <algorithm>

namespace ondel {

StretchForm::StretchForm(QSize designed, QWidget* parent) : QWidget(parent), m_designed(designed) {
    setMinimumSize(designed);
    resize(designed);
}

void StretchForm::follow(QWidget* widget, Grow grow) {
    if (grow != Grow::None)
        m_items.push_back({widget, grow, widget->geometry()});
}

void StretchForm::resizeEvent(QResizeEvent* event) {
    const int dx = std::max(0, width() - m_designed.width());
    const int dy = std::max(0, height() - m_designed.height());
    const int upper = dy * 2 / 3;
    for (const Item& item : m_items) {
        if (!item.widget)
            continue;
        QRect r = item.designed;
        switch (item.grow) {
        case Grow::None:
            break;
        case Grow::Width:
            r.setWidth(r.width() + dx);
            break;
        case Grow::MoveX:
            r.translate(dx, 0);
            break;
        case Grow::Upper:
            r.setSize(r.size() + QSize(dx, upper));
            break;
        case Grow::Lower:
            r.translate(0, upper);
            r.setSize(r.size() + QSize(dx, dy - upper));
            break;
        }
        item.widget->setGeometry(r);
    }
    QWidget::resizeEvent(event);
}

} // namespace ondel
