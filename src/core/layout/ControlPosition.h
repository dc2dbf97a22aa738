#pragma once

#include <cstdint>

namespace ondel {

// A rectangle in a dialog's client coordinates; right and bottom are exclusive.
struct LayoutRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

struct LayoutSize {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    friend bool operator==(const LayoutSize&, const LayoutSize&) = default;
};

// Share of the window's growth, in percent, added to each edge: x1 left, x2 right (of the width
// growth), y1 top, y2 bottom (of the height growth).
struct AnchorPercents {
    std::int8_t x1 = 0;
    std::int8_t y1 = 0;
    std::int8_t x2 = 0;
    std::int8_t y2 = 0;
    friend bool operator==(const AnchorPercents&, const AnchorPercents&) = default;
};

// Per-axis shorthand for a pair of percentages.
enum class LayoutMode : int {
    ModeFixed = 0,   // (0, 0)
    ModeStretch = 1, // (0, 100)
    ModeMove = 2,    // (100, 100)
    ModeCenter = 3,  // (50, 50)
};

// The horizontal mode gives x1, x2 and the vertical one y1, y2; a value outside the four modes
// gives (0, 0).
AnchorPercents anchorPercents(LayoutMode horizontal, LayoutMode vertical);

// One registered control: its normal rectangle when registered, its percentages and the size
// below which it is parked out of sight.
struct ControlPosition {
    LayoutRect rect;
    AnchorPercents percents;
    std::int32_t minWidth = 0;
    std::int32_t minHeight = 0;
};

// The control's rectangle for a growth (current minus initial client size). Each edge moves by
// percent × growth / 100, truncated toward zero. A control left narrower than its minimum width
// (or exactly that wide) is parked at right = -10, left = -10 - minWidth; the same vertically.
LayoutRect positionFor(const ControlPosition& control, LayoutSize growth);

} // namespace ondel
