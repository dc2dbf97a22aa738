#include "QueryLimiter.h"

#include <string_view>

namespace ondel::hlsim {

bool QueryLimiter::admit(const std::string& ip, Kind kind, double now) {
    ++m_received[static_cast<int>(kind)];
    if (m_rate <= 0.0)
        return true;
    auto [it, fresh] = m_windows.try_emplace(ip);
    Window& w = it->second;
    if (fresh || now - w.start > m_window) {
        w.start = now;
        w.count = 1;
    } else {
        ++w.count;
    }
    if (static_cast<double>(w.count) / m_window > m_rate) {
        ++m_dropped[static_cast<int>(kind)];
        return false;
    }
    return true;
}

QueryLimiter::Kind QueryLimiter::kindOf(std::span<const std::uint8_t> request) {
    if (request.size() < 5 || request[0] != 0xFF || request[1] != 0xFF || request[2] != 0xFF ||
        request[3] != 0xFF)
        return Kind::Other;
    std::string_view text(reinterpret_cast<const char*>(request.data()) + 4, request.size() - 4);
    auto is = [&](std::string_view word) {
        // The word alone, or followed by a NUL or a line feed.
        return text.starts_with(word) && (text.size() == word.size() || text[word.size()] == '\0' ||
                                          text[word.size()] == '\n');
    };
    if (text.starts_with("challenge rcon"))
        return Kind::RconChallenge;
    if (text.starts_with("rcon "))
        return Kind::Rcon;
    if (is("ping") || text[0] == 'i')
        return Kind::Ping;
    if (is("details"))
        return Kind::Details;
    if (is("rules"))
        return Kind::Rules;
    if (is("players"))
        return Kind::Players;
    switch (text[0]) {
    case 'T':
        return Kind::SteamInfo;
    case 'U':
        return Kind::SteamPlayers;
    case 'V':
        return Kind::SteamRules;
    case 'W':
        return Kind::SteamChallenge;
    default:
        return Kind::Other;
    }
}

const char* QueryLimiter::kindName(Kind kind) {
    static const char* const names[] = {
        "ping",           "details",       "rules",       "players",
        "steam-info",     "steam-players", "steam-rules", "steam-challenge",
        "challenge-rcon", "rcon",          "other"};
    return names[static_cast<int>(kind)];
}

std::string QueryLimiter::summary() const {
    std::string received = "received";
    std::string dropped = "dropped";
    for (int i = 0; i < static_cast<int>(Kind::Count); ++i) {
        if (m_received[i] == 0)
            continue;
        const char* name = kindName(static_cast<Kind>(i));
        received += std::string(" ") + name + " " + std::to_string(m_received[i]);
        dropped += std::string(" ") + name + " " + std::to_string(m_dropped[i]);
    }
    return received + "; " + dropped;
}

} // namespace ondel::hlsim
