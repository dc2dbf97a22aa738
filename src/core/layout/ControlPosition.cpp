#include "ControlPosition.h"

namespace ondel {

namespace {
struct Pair {
    std::int8_t first;
    std::int8_t second;
};

Pair percentsOf(LayoutMode mode) {
    switch (mode) {
    case LayoutMode::ModeFixed:
        return {0, 0};
    case LayoutMode::ModeStretch:
        return {0, 100};
    case LayoutMode::ModeMove:
        return {100, 100};
    case LayoutMode::ModeCenter:
        return {50, 50};
    }
    return {0, 0};
}

// Integer division in C++ truncates toward zero, so -3 at 50 % moves an edge by -1.
std::int32_t share(std::int8_t percent, std::int32_t growth) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(percent) * growth / 100);
}
} // namespace

AnchorPercents anchorPercents(LayoutMode horizontal, LayoutMode vertical) {
    Pair h = percentsOf(horizontal);
    Pair v = percentsOf(vertical);
    return AnchorPercents{h.first, v.first, h.second, v.second};
}

LayoutRect positionFor(const ControlPosition& control, LayoutSize growth) {
    const AnchorPercents& p = control.percents;
    LayoutRect r;
    r.left = control.rect.left + share(p.x1, growth.cx);
    r.right = control.rect.right + share(p.x2, growth.cx);
    r.top = control.rect.top + share(p.y1, growth.cy);
    r.bottom = control.rect.bottom + share(p.y2, growth.cy);
    if (static_cast<std::int64_t>(r.left) + control.minWidth >= r.right) {
        r.right = -10;
        r.left = -10 - control.minWidth;
    }
    if (static_cast<std::int64_t>(r.top) + control.minHeight >= r.bottom) {
        r.bottom = -10;
        r.top = -10 - control.minHeight;
    }
    return r;
}

} // namespace ondel
