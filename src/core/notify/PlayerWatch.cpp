#include "PlayerWatch.h"

namespace ondel {

namespace {
std::string folded(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}
} // namespace

void PlayerWatch::setWatched(const std::vector<std::string>& names) {
    m_watched.clear();
    m_watchedFolded.clear();
    for (const std::string& name : names) {
        if (!name.empty() && m_watchedFolded.insert(folded(name)).second)
            m_watched.push_back(name);
    }
    for (auto& [server, present] : m_present) {
        for (auto it = present.begin(); it != present.end();)
            it = isWatched(*it) ? std::next(it) : present.erase(it);
    }
}

bool PlayerWatch::isWatched(const std::string& foldedName) const {
    return m_watchedFolded.count(foldedName) != 0;
}

std::vector<std::string> PlayerWatch::update(const std::string& server,
                                             const std::vector<std::string>& players) {
    std::set<std::string> now;
    std::vector<std::string> appeared;
    static const std::set<std::string> kNobody;
    const auto known = m_present.find(server);
    const std::set<std::string>& before = known != m_present.end() ? known->second : kNobody;
    for (const std::string& player : players) {
        std::string key = folded(player);
        if (!isWatched(key) || now.count(key) != 0)
            continue;
        if (before.count(key) == 0)
            appeared.push_back(player);
        now.insert(std::move(key));
    }
    // Only servers with watched players on them are remembered (a list may hold thousands).
    if (now.empty())
        m_present.erase(server);
    else
        m_present[server] = std::move(now);
    return appeared;
}

std::vector<std::string> watchListFromText(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && isBlank(text[first]))
            ++first;
        while (last > first && isBlank(text[last - 1]))
            --last;
        if (last > first)
            names.push_back(text.substr(first, last - first));
        start = end + 1;
    }
    return names;
}

std::string watchListText(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty())
            text += '\n';
        text += name;
    }
    return text;
}

void PlayerWatch::forget(const std::string& server) {
    m_present.erase(server);
}

} // namespace ondel
