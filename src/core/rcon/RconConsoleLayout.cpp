#include "RconConsoleLayout.h"

#include <array>

namespace ondel {

namespace {
constexpr AnchorPercents pct(int x1, int y1, int x2, int y2) {
    return AnchorPercents{static_cast<std::int8_t>(x1), static_cast<std::int8_t>(y1),
                          static_cast<std::int8_t>(x2), static_cast<std::int8_t>(y2)};
}
} // namespace

std::span<const ConsoleControlAnchor> rconConsoleLayout() {
    static const std::array<ConsoleControlAnchor, 18> table = {{
        {2, anchorPercents(LayoutMode::ModeMove, LayoutMode::ModeMove)},          // Close
        {1035, anchorPercents(LayoutMode::ModeStretch, LayoutMode::ModeStretch)}, // output
        {1028, anchorPercents(LayoutMode::ModeMove, LayoutMode::ModeMove)},       // Send
        {1027, anchorPercents(LayoutMode::ModeStretch, LayoutMode::ModeMove)},    // command line
        {1038, pct(75, 0, 75, 0)},                                                // Display Options
        {1037, pct(75, 0, 75, 0)},
        {1036, pct(75, 0, 75, 0)},
        {1039, pct(75, 0, 75, 0)},
        {1043, pct(75, 0, 75, 0)},
        {1029, pct(25, 0, 25, 0)}, // password
        {1040, pct(25, 0, 25, 0)},
        {1031, pct(25, 0, 25, 0)}, // console IP/port
        {1033, pct(25, 0, 25, 0)},
        {1042, pct(50, 0, 50, 0)}, // Rcon challenge group
        {1041, pct(50, 0, 50, 0)},
        {1034, pct(50, 0, 50, 0)},
        {1032, pct(50, 0, 50, 0)},
        {1057, pct(50, 0, 50, 0)},
    }};
    return table;
}

} // namespace ondel
