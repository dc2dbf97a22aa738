#pragma once

#include "layout/DynamicLayout.h"

#include <QDialog>
#include <QHash>
#include <QMetaObject>
#include <QTimer>

namespace ondel {

class SizeGripCtrl;

// A resizable dialog whose controls follow the window by per-edge percentages of its growth
// (the rules are DynamicLayout's). A derived dialog builds its controls at their template
// places, gives itself the template size, calls initDynamicLayout() and then registers its
// controls. From then on the window cannot be made smaller than that size, a size grip sits in
// the bottom-right corner (with kWithSizeGrip), and while the user drags an edge full repainting
// is switched off or on as DynamicLayout decides, until 120 ms after the last step.
// Controls are direct children of the dialog, as in a dialog template: group boxes are siblings
// drawn beneath the controls they frame. GUI thread only.
class DynamicDialog : public QDialog {
    Q_OBJECT
public:
    DynamicDialog(int directions, int flags, QWidget* parent = nullptr);
    ~DynamicDialog() override;

    const DynamicLayout& dynamicLayout() const { return m_layout; }
    SizeGripCtrl* sizeGrip() const { return m_sizeGrip; }
    // The dialog's child with that control id, or nullptr.
    QWidget* controlById(int id) const;

    bool addControl(QWidget* control, AnchorPercents percents, QSize minSize = QSize(0, 0),
                    bool repositionNow = true);
    bool addControl(QWidget* control, LayoutMode horizontal, LayoutMode vertical,
                    QSize minSize = QSize(0, 0), bool repositionNow = true);
    void removeControl(QWidget* control);
    // Places one control for the current size; false when it is not a live control.
    bool updateControl(QWidget* control);
    // Places every registered child for the current size.
    void layoutAll();

protected:
    // Records the current size as initial and minimum size and creates the size grip.
    void initDynamicLayout();
    // Every expiry of the flicker timer, after the layout's own handling.
    virtual void flickerTimerTick() {}

    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyMinimumSize();
    void onFlickerTimeout();
    void setFullRedraw(DynamicLayout::RedrawFlags flags);
    DynamicLayout::RedrawFlags fullRedraw() const;
    static DynamicLayout::ControlKey keyOf(const QObject* control) { return control; }

    DynamicLayout m_layout;
    SizeGripCtrl* m_sizeGrip = nullptr;
    QTimer m_flickerTimer;
    QPoint m_lastTopLeft;
    QHash<const QObject*, QMetaObject::Connection> m_destroyWatch;
};

} // namespace ondel
