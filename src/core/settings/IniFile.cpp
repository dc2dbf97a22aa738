#include "IniFile.h"

#include <fstream>

namespace ondel {

namespace {

constexpr std::size_t kMaxIniBytes = 1024 * 1024;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string unquote(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return std::string(value);
    std::string out;
    value = value.substr(1, value.size() - 2);
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size())
            ++i;
        out.push_back(value[i]);
    }
    return out;
}

} // namespace

std::optional<std::string> iniValue(std::string_view text, std::string_view group,
                                    std::string_view name) {
    bool inGroup = false;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.starts_with('[')) {
            inGroup =
                line.size() >= 2 && line.back() == ']' && line.substr(1, line.size() - 2) == group;
            continue;
        }
        if (!inGroup)
            continue;
        std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && trim(line.substr(0, eq)) == name)
            return unquote(trim(line.substr(eq + 1)));
    }
    return std::nullopt;
}

std::optional<std::string> readIniFileValue(const std::string& path, std::string_view group,
                                            std::string_view name) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(kMaxIniBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return iniValue(text, group, name);
}

} // namespace ondel
