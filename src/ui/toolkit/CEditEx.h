#pragma once

#include <QColor>
#include <QLineEdit>

namespace ondel {

// A one-line edit with its own text and background colours; the details panel turns the text
// of its warning fields red. The background is taken once, at construction, from the palette's
// window colour (the look of the window's read-only fields). GUI thread only.
class CEditEx : public QLineEdit {
    Q_OBJECT
public:
    explicit CEditEx(QWidget* parent = nullptr);

    // Sets the text colour, repaints, and returns the previous colour.
    QColor setTextColour(const QColor& colour);
    QColor textColour() const { return m_textColour; }
    QColor backgroundColour() const { return m_backgroundColour; }

private:
    void applyColours();

    QColor m_backgroundColour;
    QColor m_textColour;
};

} // namespace ondel
