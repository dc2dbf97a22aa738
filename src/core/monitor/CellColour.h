#pragma once

#include <cstdint>

namespace ondel {

// A cell or text colour of the monitor's views: 0xRRGGBB, or kNormalColour for "the view's own
// text colour". Kept as a plain 32-bit value so that rows can store one per column.
using CellColour = std::int32_t;

inline constexpr CellColour kNormalColour = -1;

constexpr CellColour rgb(int r, int g, int b) {
    return static_cast<CellColour>(((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF));
}
constexpr int redOf(CellColour c) {
    return (c >> 16) & 0xFF;
}
constexpr int greenOf(CellColour c) {
    return (c >> 8) & 0xFF;
}
constexpr int blueOf(CellColour c) {
    return c & 0xFF;
}

inline constexpr CellColour kRed = rgb(255, 0, 0);

// Fading of a whole list: percent 0 leaves the colour alone; f above 0 gives c * f / 100 per
// channel (darker); f below 0 gives 255 - (255 - c) * (-f) / 100 (lighter: -50 is half-way to
// white). Integer arithmetic truncating; f is held within -100..100.
CellColour fadeColour(CellColour colour, int percent);

// The colour drawn on a selected row: every channel c becomes 255 - c.
CellColour invertColour(CellColour colour);

} // namespace ondel
