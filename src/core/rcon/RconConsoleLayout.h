#pragma once

#include "layout/ControlPosition.h"

#include <span>

namespace ondel {

// How each control of the remote console (dialog 137) follows the window, in the order the
// console registers them: the output takes all extra room, the command line and its buttons keep
// to the bottom, and the three option groups spread apart (password and address by a quarter of
// the width growth, the challenge group by half, the display options by three quarters).
struct ConsoleControlAnchor {
    int controlId;
    AnchorPercents percents;
};

std::span<const ConsoleControlAnchor> rconConsoleLayout();

} // namespace ondel
