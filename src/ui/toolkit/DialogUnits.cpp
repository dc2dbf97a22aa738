#include "DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

namespace ondel {

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics metrics(font);
    int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_avgWidth = (letters / 26 + 1) / 2;
    if (m_avgWidth < 1)
        m_avgWidth = 1;
    m_height = metrics.height();
    if (m_height < 1)
        m_height = 1;
}

int DialogUnits::x(int units) const {
    return (units * m_avgWidth + 2) / 4;
}

int DialogUnits::y(int units) const {
    return (units * m_height + 4) / 8;
}

QRect DialogUnits::rect(int x0, int y0, int width, int height) const {
    return QRect(x(x0), y(y0), x(width), y(height));
}

QSize DialogUnits::size(int width, int height) const {
    return QSize(x(width), y(height));
}

int DialogUnits::scaledPixels(int pixels) const {
    return (pixels * m_avgWidth + 3) / 6;
}

void DialogUnits::place(QWidget* widget, int x0, int y0, int width, int height) const {
    widget->setGeometry(rect(x0, y0, width, height));
}

} // namespace ondel
