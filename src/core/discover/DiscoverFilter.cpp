#include "DiscoverFilter.h"

#include <algorithm>

namespace ondel {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

bool carriable(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

constexpr int kModAppId = 70;

} // namespace

bool isCarriableFilterText(std::string_view text) {
    return carriable(text);
}

int appIdForGame(std::string_view gameDir) {
    for (const auto& game : kGameApps)
        if (equalsIgnoringCase(gameDir, game.gameDir))
            return game.appId;
    return kModAppId;
}

std::optional<std::string> buildFilter(const DiscoverFilter& filter) {
    if (!carriable(filter.gameDir) || !carriable(filter.map))
        return std::nullopt;
    std::string out;
    if (filter.gameDir.empty()) {
        // Any of the engine's games: one \or group over their app ids.
        out = "\\or\\" + std::to_string(std::size(kGameApps));
        for (const auto& game : kGameApps)
            out += "\\appid\\" + std::to_string(game.appId);
    } else {
        int appId = appIdForGame(filter.gameDir);
        out = "\\appid\\" + std::to_string(appId);
        // Every mod shares 70 with Half-Life itself: the folder tells them apart.
        if (appId == kModAppId)
            out += "\\gamedir\\" + filter.gameDir;
    }
    if (!filter.map.empty())
        out += "\\map\\" + filter.map;
    if (filter.notEmpty)
        out += "\\empty\\1";
    if (filter.notFull)
        out += "\\full\\1";
    out += filter.extraConditions;
    return out;
}

std::string percentEncode(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

std::string serverListUrl(std::string_view base, const std::string& key,
                          const DiscoverFilter& filter) {
    if (!base.starts_with("http://") && !base.starts_with("https://"))
        return {};
    if (!carriable(base) || base.find_first_of(" ?#") != std::string_view::npos)
        return {};
    while (base.ends_with('/'))
        base.remove_suffix(1);
    auto filterText = buildFilter(filter);
    if (!filterText)
        return {};
    int limit = std::clamp(filter.limit, 1, kServerListCap);
    return std::string(base) + kServerListPath + "?key=" + percentEncode(key) +
           "&filter=" + percentEncode(*filterText) + "&limit=" + std::to_string(limit);
}

} // namespace ondel
