#pragma once

#include <QSizeGrip>

namespace ondel {

// The size grip in a resizable dialog's bottom-right corner: dragging it resizes the window.
// With hideWhileParentMaximised set it neither paints nor shows its diagonal cursor while the
// window is maximised (there is nothing to drag then). Double-clicks are swallowed.
// Owned by its parent widget (Qt parent-child). GUI thread only.
class SizeGripCtrl : public QSizeGrip {
    Q_OBJECT
public:
    explicit SizeGripCtrl(QWidget* parent);

    void setHideWhileParentMaximised(bool hide) { m_hideWhileParentMaximised = hide; }
    bool hideWhileParentMaximised() const { return m_hideWhileParentMaximised; }

    // Puts the grip at its standard size into the bottom-right corner of area.
    void alignBottomRight(const QRect& area);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool parentMaximised() const;
    bool m_hideWhileParentMaximised = false;
};

} // namespace ondel
