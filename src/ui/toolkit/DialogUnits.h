#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace ondel {

// Converts dialog units to pixels for a dialog font: x * averageCharWidth / 4 and
// y * height / 8, rounded, where the average width is that of the 52 letters A-Z a-z.
// Dialog layouts are given in these units so that they follow the user's font.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int x, int y, int width, int height) const;
    QSize size(int width, int height) const;
    // A pixel size chosen for the classic 8-point dialog font (6 pixels average width), scaled
    // to this font: column widths of the list views.
    int scaledPixels(int pixels) const;

    int averageCharWidth() const { return m_avgWidth; }
    int charHeight() const { return m_height; }

    // Places widget at the dialog-unit rectangle.
    void place(QWidget* widget, int x, int y, int width, int height) const;

private:
    int m_avgWidth;
    int m_height;
};

} // namespace ondel
