#include "DynamicDialog.h"

#include "ControlId.h"
#include "SizeGripCtrl.h"

#include <QEvent>
#include <QMoveEvent>
#include <QResizeEvent>

namespace ondel {

namespace {

LayoutRect toLayoutRect(const QRect& r) {
    return LayoutRect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

QRect toQRect(const LayoutRect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

LayoutSize toLayoutSize(const QSize& s) {
    return LayoutSize{s.width(), s.height()};
}

} // namespace

DynamicDialog::DynamicDialog(int directions, int flags, QWidget* parent)
    : QDialog(parent), m_layout(directions, flags) {
    m_flickerTimer.setSingleShot(false);
    m_flickerTimer.setInterval(DynamicLayout::kFlickerIntervalMs);
    connect(&m_flickerTimer, &QTimer::timeout, this, &DynamicDialog::onFlickerTimeout);
}

DynamicDialog::~DynamicDialog() {
    // The children outlive this destructor's body; their destroyed signals must not reach the
    // layout, whose lifetime ends here.
    for (const auto& connection : std::as_const(m_destroyWatch))
        disconnect(connection);
    m_destroyWatch.clear();
    m_flickerTimer.stop();
    m_layout.destroy();
    m_sizeGrip = nullptr; // deleted with the other children
}

QWidget* DynamicDialog::controlById(int id) const {
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (controlIdOf(child) == id)
            return child;
    }
    return nullptr;
}

void DynamicDialog::initDynamicLayout() {
    m_layout.initialise(toLayoutSize(size()), fullRedraw());
    m_lastTopLeft = pos();
    bool added = false;
    if (m_layout.flags() & DynamicLayout::kWithSizeGrip) {
        auto* grip = new SizeGripCtrl(this);
        grip->hide();
        setControlId(grip, DynamicLayout::kSizeGripId);
        grip->setHideWhileParentMaximised(true);
        grip->alignBottomRight(rect());
        m_sizeGrip = grip;
        added = addControl(grip, AnchorPercents{100, 100, 100, 100}, QSize(0, 0), false);
        grip->raise();
        grip->show();
    }
    if (added)
        layoutAll();
    applyMinimumSize();
}

void DynamicDialog::applyMinimumSize() {
    auto limits =
        m_layout.trackingLimits(LayoutSize{0, 0}, LayoutSize{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX});
    if (!limits)
        return;
    setMinimumSize(limits->minTrack.cx, limits->minTrack.cy);
    setMaximumSize(limits->maxTrack.cx, limits->maxTrack.cy);
}

bool DynamicDialog::addControl(QWidget* control, AnchorPercents percents, QSize minSize,
                               bool repositionNow) {
    if (control == nullptr || !m_layout.hasWindow())
        return false;
    if (!m_layout.addControl(keyOf(control), toLayoutRect(control->geometry()), percents,
                             LayoutSize{minSize.width(), minSize.height()}))
        return false;
    auto old = m_destroyWatch.find(control);
    if (old != m_destroyWatch.end())
        disconnect(old.value());
    m_destroyWatch.insert(control,
                          connect(control, &QObject::destroyed, this, [this](QObject* gone) {
                              m_destroyWatch.remove(gone);
                              m_layout.removeControl(keyOf(gone));
                              if (gone == m_sizeGrip)
                                  m_sizeGrip = nullptr;
                          }));
    if (repositionNow)
        updateControl(control);
    return true;
}

bool DynamicDialog::addControl(QWidget* control, LayoutMode horizontal, LayoutMode vertical,
                               QSize minSize, bool repositionNow) {
    return addControl(control, anchorPercents(horizontal, vertical), minSize, repositionNow);
}

void DynamicDialog::removeControl(QWidget* control) {
    auto it = m_destroyWatch.find(control);
    if (it != m_destroyWatch.end()) {
        disconnect(it.value());
        m_destroyWatch.erase(it);
    }
    m_layout.removeControl(keyOf(control));
}

bool DynamicDialog::updateControl(QWidget* control) {
    if (control == nullptr || !m_layout.hasWindow())
        return false;
    DynamicLayoutInfo info = m_layout.makeSnapshot(toLayoutSize(size()), isMinimized());
    if (info.growth.cx == 0 && info.growth.cy == 0)
        return true;
    LayoutRect rect;
    if (m_layout.positionFor(keyOf(control), info, rect)) {
        QRect target = toQRect(rect);
        if (target != control->geometry())
            control->setGeometry(target);
    }
    return true;
}

void DynamicDialog::layoutAll() {
    if (!m_layout.hasWindow())
        return;
    DynamicLayoutInfo info = m_layout.makeSnapshot(toLayoutSize(size()), isMinimized());
    // Qt gathers the repaints of all moves into one, so the moves need no batch of their own.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        LayoutRect rect;
        if (!m_layout.positionFor(keyOf(child), info, rect))
            continue;
        QRect target = toQRect(rect);
        if (target != child->geometry())
            child->setGeometry(target);
    }
}

void DynamicDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!m_layout.hasWindow())
        return;
    if (isVisible() && !isMinimized()) {
        // Qt does not say which edge is dragged; an edge that moves the window's corner is the
        // left or top one, otherwise the window grows away from its content.
        QPoint topLeft = pos();
        bool left = topLeft.x() != m_lastTopLeft.x();
        bool top = topLeft.y() != m_lastTopLeft.y();
        m_lastTopLeft = topLeft;
        using Edge = DynamicLayout::SizingEdge;
        Edge edge = left && top ? Edge::TopLeft
                    : left      ? Edge::Left
                    : top       ? Edge::Top
                                : Edge::BottomRight;
        DynamicLayout::SizingAction action = m_layout.onSizing(edge);
        if (action.setRedraw)
            setFullRedraw(*action.setRedraw);
        if (action.restartTimer)
            m_flickerTimer.start();
    }
    if (m_layout.layoutOnSize(isMinimized()))
        layoutAll();
}

void DynamicDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // A drag of the left or top edge moves and resizes at once (the resize event follows this
    // one directly); a plain move is taken as the new corner once the events of the change are
    // through.
    QMetaObject::invokeMethod(
        this, [this] { m_lastTopLeft = pos(); }, Qt::QueuedConnection);
}

void DynamicDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_layout.layoutOnSize(isMinimized()))
        layoutAll();
}

void DynamicDialog::onFlickerTimeout() {
    DynamicLayout::TimerAction action = m_layout.onTimer(m_layout.flickerTimerId());
    if (action.stopTimer)
        m_flickerTimer.stop();
    if (action.restoreRedraw)
        setFullRedraw(*action.restoreRedraw);
    flickerTimerTick();
}

// A widget with static contents gets paint events only for newly exposed parts on a resize:
// Qt's form of switching full repainting off.
void DynamicDialog::setFullRedraw(DynamicLayout::RedrawFlags flags) {
    setAttribute(Qt::WA_StaticContents, !(flags.horizontal || flags.vertical));
}

DynamicLayout::RedrawFlags DynamicDialog::fullRedraw() const {
    bool full = !testAttribute(Qt::WA_StaticContents);
    return DynamicLayout::RedrawFlags{full, full};
}

} // namespace ondel
