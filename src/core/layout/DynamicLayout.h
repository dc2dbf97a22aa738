#pragma once

#include "ControlPosition.h"

#include <cstdint>
#include <map>
#include <optional>

namespace ondel {

// Snapshot of one layout pass. All zero when the dialog is missing or minimised.
struct DynamicLayoutInfo {
    LayoutSize current;
    LayoutSize initial;
    LayoutSize growth; // current - initial
    std::int32_t controlCount = 0;
};

// The rules of a resizable dialog, without the window system: the registered controls and their
// percentages, the initial and minimum client size, the tracking limits and the flicker
// reduction's state. DynamicDialog (the widget side) feeds it window events and carries out
// what it decides. Controls are identified by an opaque key (the control's widget); the layout
// never dereferences it. GUI thread only.
class DynamicLayout {
public:
    using ControlKey = const void*;

    // directions
    static constexpr int kHorizontal = 1;
    static constexpr int kVertical = 2;
    // flags
    static constexpr int kWithSizeGrip = 1;
    static constexpr int kReduceFlicker = 2;
    static constexpr int kCopyBitsOnMove = 4;

    static constexpr int kSizeGripId = 59936;
    static constexpr int kFlickerTimerId = 29028;
    static constexpr int kFlickerIntervalMs = 120;

    // Whether the window repaints everything on a horizontal / vertical size change.
    struct RedrawFlags {
        bool horizontal = false;
        bool vertical = false;
        friend bool operator==(const RedrawFlags&, const RedrawFlags&) = default;
    };

    enum class SizingEdge { Left, Right, Top, TopLeft, TopRight, Bottom, BottomLeft, BottomRight };

    // What a sizing step asks of the window: (re)start the 120 ms timer, and maybe change the
    // repaint setting.
    struct SizingAction {
        bool restartTimer = false;
        std::optional<RedrawFlags> setRedraw;
    };

    // What the flicker timer's expiry asks of the window.
    struct TimerAction {
        bool stopTimer = false;
        std::optional<RedrawFlags> restoreRedraw;
    };

    struct TrackingLimits {
        LayoutSize minTrack;
        LayoutSize maxTrack;
    };

    DynamicLayout(int directions, int flags) : m_directions(directions), m_flags(flags) {}

    int directions() const { return m_directions; }
    int flags() const { return m_flags; }

    // The dialog exists: initialSize := minSize := clientSize; the flicker timer id is set.
    void initialise(LayoutSize clientSize, RedrawFlags savedRedraw);
    // The dialog is going away: no more layout or minimum, every control forgotten.
    void destroy();
    bool hasWindow() const { return m_hasWindow; }
    bool disabled() const { return m_disabled > 0; }

    // Records the control's rectangle with its percentages (replacing any earlier entry for the
    // key). False when the dialog does not exist or the key is null.
    bool addControl(ControlKey key, const LayoutRect& rect, AnchorPercents percents,
                    LayoutSize minSize = {});
    bool addControl(ControlKey key, const LayoutRect& rect, LayoutMode horizontal,
                    LayoutMode vertical, LayoutSize minSize = {});
    void removeControl(ControlKey key);
    bool contains(ControlKey key) const { return m_controls.count(key) != 0; }
    std::int32_t controlCount() const { return static_cast<std::int32_t>(m_controls.size()); }

    DynamicLayoutInfo makeSnapshot(LayoutSize clientSize, bool minimised) const;
    // False when the key has no entry; otherwise rect is the control's place for the snapshot.
    bool positionFor(ControlKey key, const DynamicLayoutInfo& info, LayoutRect& rect) const;

    // Whether a size change lays the controls out (not while disabled, gone or minimised).
    bool layoutOnSize(bool minimised) const { return !disabled() && m_hasWindow && !minimised; }

    // Limits for dragging: border is outer minus client size. Nothing while disabled or gone.
    std::optional<TrackingLimits> trackingLimits(LayoutSize border, LayoutSize platformMax) const;

    // A sizing step of a drag. Right, bottom and bottom-right only grow the window away from
    // its content, so repainting everything is switched off; the other edges shift the content,
    // so it is switched on. The first step's choice stands until the timer expires.
    SizingAction onSizing(SizingEdge edge);
    TimerAction onTimer(int timerId);
    bool redrawOverridden() const { return m_redrawOverridden; }
    int flickerTimerId() const { return m_flickerTimerId; }

    LayoutSize initialSize() const { return m_initialSize; }
    LayoutSize minSize() const { return m_minSize; }
    LayoutSize maxSize() const { return m_maxSize; }

private:
    bool m_hasWindow = false;
    bool m_redrawOverridden = false;
    std::int32_t m_disabled = 0;
    RedrawFlags m_savedRedraw;
    std::map<ControlKey, ControlPosition> m_controls;
    int m_directions;
    int m_flags;
    LayoutSize m_initialSize;
    LayoutSize m_minSize;
    LayoutSize m_maxSize; // 0 = no limit
    int m_flickerTimerId = 0;
};

} // namespace ondel
