#include "CEditEx.h"

#include <QPalette>

namespace ondel {

CEditEx::CEditEx(QWidget* parent) : QLineEdit(parent) {
    m_backgroundColour = palette().color(QPalette::Window);
    m_textColour = palette().color(QPalette::WindowText);
    applyColours();
}

QColor CEditEx::setTextColour(const QColor& colour) {
    QColor previous = m_textColour;
    if (colour != m_textColour) {
        m_textColour = colour;
        applyColours();
    }
    return previous;
}

void CEditEx::applyColours() {
    QPalette p = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Base, m_backgroundColour);
        p.setColor(group, QPalette::Text, m_textColour);
    }
    setPalette(p);
    update();
}

} // namespace ondel
