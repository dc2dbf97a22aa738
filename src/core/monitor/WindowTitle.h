#pragma once

#include "serverlist/ServerEntry.h"

#include <cstdint>
#include <string>

namespace ondel {

// The program's short name and version text as the window shows them.
inline constexpr const char* kProgramName = "Ondel";
inline constexpr const char* kVersionText = "v" ONDEL_VERSION_TEXT;

// Which of the four title forms applies.
enum class TitleMode {
    Normal,    // "Ondel v0.2.5   <name>"
    Minimized, // "Ondel   12/16 <name>", or "Ondel" before any info reply
    Connected, // "Ondel   Connected to <name>" while the game started from the window runs
};

// The monitor window's title for the shown server; UTF-8 (the name goes through toDisplayUtf8).
// limitedRefreshSeconds above 0: the server limits our queries and is refreshed only every that
// many seconds; the normal title then says so after the name.
std::string windowTitle(const ServerEntry& entry, TitleMode mode, int limitedRefreshSeconds = 0);

// "The server limits queries, refreshing every N s" (the ping field's tooltip; the title has it
// in lower case).
std::string queryLimitText(int refreshSeconds);

// "%d B/s" for the "Send:" and "Receive:" fields.
std::string bandwidthText(std::int32_t bytesPerSecond);

} // namespace ondel
