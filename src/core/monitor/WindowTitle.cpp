#include "WindowTitle.h"

#include "common/Text.h"

namespace ondel {

std::string queryLimitText(int refreshSeconds) {
    return text::format("The server limits queries, refreshing every %d s", refreshSeconds);
}

std::string windowTitle(const ServerEntry& entry, TitleMode mode, int limitedRefreshSeconds) {
    const std::string name = text::toDisplayUtf8(entry.hostName);
    switch (mode) {
    case TitleMode::Connected:
        return text::format("%s   Connected to %s", kProgramName, name.c_str());
    case TitleMode::Minimized:
        if (!entry.infoValid)
            return kProgramName;
        return text::format("%s   %d/%d %s", kProgramName, entry.players, entry.maxPlayers,
                            name.c_str());
    case TitleMode::Normal:
        break;
    }
    std::string title = text::format("%s %s   %s", kProgramName, kVersionText, name.c_str());
    if (limitedRefreshSeconds > 0) {
        std::string limit = queryLimitText(limitedRefreshSeconds);
        limit[0] = 't';
        title += "   (" + limit + ")";
    }
    return title;
}

std::string bandwidthText(std::int32_t bytesPerSecond) {
    return text::format("%d B/s", bytesPerSecond);
}

} // namespace ondel
