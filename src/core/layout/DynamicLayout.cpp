#include "DynamicLayout.h"

namespace ondel {

void DynamicLayout::initialise(LayoutSize clientSize, RedrawFlags savedRedraw) {
    m_hasWindow = true;
    m_initialSize = clientSize;
    m_minSize = clientSize;
    m_redrawOverridden = false;
    m_flickerTimerId = kFlickerTimerId;
    m_savedRedraw = savedRedraw;
}

void DynamicLayout::destroy() {
    m_disabled = 1;
    m_hasWindow = false;
    m_controls.clear();
}

bool DynamicLayout::addControl(ControlKey key, const LayoutRect& rect, AnchorPercents percents,
                               LayoutSize minSize) {
    if (!m_hasWindow || key == nullptr)
        return false;
    m_controls[key] = ControlPosition{rect, percents, minSize.cx, minSize.cy};
    return true;
}

bool DynamicLayout::addControl(ControlKey key, const LayoutRect& rect, LayoutMode horizontal,
                               LayoutMode vertical, LayoutSize minSize) {
    return addControl(key, rect, anchorPercents(horizontal, vertical), minSize);
}

void DynamicLayout::removeControl(ControlKey key) {
    m_controls.erase(key);
}

DynamicLayoutInfo DynamicLayout::makeSnapshot(LayoutSize clientSize, bool minimised) const {
    DynamicLayoutInfo info;
    if (!m_hasWindow || minimised)
        return info;
    info.current = clientSize;
    info.initial = m_initialSize;
    info.growth = LayoutSize{clientSize.cx - m_initialSize.cx, clientSize.cy - m_initialSize.cy};
    info.controlCount = controlCount();
    return info;
}

bool DynamicLayout::positionFor(ControlKey key, const DynamicLayoutInfo& info,
                                LayoutRect& rect) const {
    auto it = m_controls.find(key);
    if (it == m_controls.end())
        return false;
    rect = ondel::positionFor(it->second, info.growth);
    return true;
}

std::optional<DynamicLayout::TrackingLimits>
DynamicLayout::trackingLimits(LayoutSize border, LayoutSize platformMax) const {
    if (disabled() || !m_hasWindow)
        return std::nullopt;
    TrackingLimits limits;
    limits.minTrack = LayoutSize{border.cx + m_minSize.cx, border.cy + m_minSize.cy};
    limits.maxTrack = platformMax;
    if (m_directions & kHorizontal) {
        if (m_maxSize.cx > 0)
            limits.maxTrack.cx = border.cx + m_maxSize.cx;
    } else {
        limits.maxTrack.cx = limits.minTrack.cx;
    }
    if (m_directions & kVertical) {
        if (m_maxSize.cy > 0)
            limits.maxTrack.cy = border.cy + m_maxSize.cy;
    } else {
        limits.maxTrack.cy = limits.minTrack.cy;
    }
    return limits;
}

DynamicLayout::SizingAction DynamicLayout::onSizing(SizingEdge edge) {
    SizingAction action;
    if (m_flickerTimerId == 0 || disabled() || !m_hasWindow || !(m_flags & kReduceFlicker))
        return action;
    bool partial =
        edge == SizingEdge::Right || edge == SizingEdge::Bottom || edge == SizingEdge::BottomRight;
    action.restartTimer = true;
    if (!m_redrawOverridden) {
        action.setRedraw = partial ? RedrawFlags{false, false} : RedrawFlags{true, true};
        m_redrawOverridden = true;
    }
    return action;
}

DynamicLayout::TimerAction DynamicLayout::onTimer(int timerId) {
    TimerAction action;
    if (timerId != m_flickerTimerId || m_flickerTimerId == 0)
        return action;
    action.stopTimer = true;
    if (m_redrawOverridden) {
        action.restoreRedraw = m_savedRedraw;
        m_redrawOverridden = false;
    }
    return action;
}

} // namespace ondel
