#include "browser/Blocklist.h"

#include "common/AtomicFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace ondel {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Four dotted numbers 0..255 without leading zeros (a leading zero reads as octal elsewhere:
// such a line is refused rather than read one way here and another way by the resolver).
std::optional<std::uint32_t> ipv4Value(std::string_view text) {
    std::uint32_t value = 0;
    int parts = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        std::uint32_t part = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
            part = part * 10 + static_cast<std::uint32_t>(text[digits] - '0');
            if (++digits > 3)
                return std::nullopt;
        }
        if (digits == 0 || part > 255 || (digits > 1 && text[0] == '0'))
            return std::nullopt;
        value = (value << 8) | part;
        text.remove_prefix(digits);
        ++parts;
        if (parts < 4) {
            if (text.empty() || text.front() != '.')
                return std::nullopt;
            text.remove_prefix(1);
        }
    }
    if (!text.empty())
        return std::nullopt;
    return value;
}

char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

} // namespace

bool globMatches(std::string_view glob, std::string_view text) {
    // The classic two-pointer match: on a mismatch, go back to the last '*' and let it take one
    // more character. Each position of text is passed at most once per star.
    std::size_t g = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t starText = 0;
    while (t < text.size()) {
        if (g < glob.size() && glob[g] == '*') {
            star = g++;
            starText = t;
        } else if (g < glob.size() && (glob[g] == '?' || fold(glob[g]) == fold(text[t]))) {
            ++g;
            ++t;
        } else if (star != std::string_view::npos) {
            g = star + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == '*')
        ++g;
    return g == glob.size();
}

Blocklist Blocklist::parse(std::string_view text) {
    Blocklist list;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::string_view entry = line;
        // A name glob may hold '#' only when it is not preceded by a blank: "name:#1 server"
        // keeps its '#', "1.2.3.4  # home" loses the comment.
        for (std::size_t i = 0; i < entry.size(); ++i) {
            if (entry[i] == '#' && (i == 0 || isBlank(entry[i - 1]))) {
                entry = entry.substr(0, i);
                break;
            }
        }
        entry = trimmed(entry);
        if (entry.empty())
            continue;
        auto bad = [&] { list.m_bad.push_back({lineNumber, std::string(trimmed(line))}); };

        if (entry.starts_with("name:")) {
            std::string_view glob = entry.substr(5);
            if (glob.empty() || glob.find_first_not_of('*') == std::string_view::npos) {
                bad(); // would block every server
                continue;
            }
            list.m_names.push_back({std::string(glob), std::string(entry)});
            continue;
        }
        if (const std::size_t slash = entry.find('/'); slash != std::string_view::npos) {
            const auto base = ipv4Value(entry.substr(0, slash));
            const std::string_view bits = entry.substr(slash + 1);
            int prefix = -1;
            if (!bits.empty() && bits.size() <= 2 &&
                bits.find_first_not_of("0123456789") == std::string_view::npos)
                prefix = std::stoi(std::string(bits));
            // A /0 would block the whole internet: surely a slip.
            if (!base || prefix < 1 || prefix > 32) {
                bad();
                continue;
            }
            const std::uint32_t mask = prefix == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix);
            list.m_ranges.push_back({*base & mask, mask, std::string(entry)});
            continue;
        }
        if (const auto ip = ipv4Value(entry)) {
            list.m_ranges.push_back({*ip, 0xFFFFFFFFu, std::string(entry)});
            continue;
        }
        const ServerAddress address = parseAddress(entry);
        if (address.host.empty() || address.port <= 0 || address.port > 65535 ||
            entry.find_first_of(" \t") != std::string_view::npos) {
            bad();
            continue;
        }
        list.m_servers.push_back({address, std::string(entry)});
    }
    return list;
}

Blocklist Blocklist::load(const std::string& path, std::string* readError) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return {};
    std::ifstream in(path, std::ios::binary);
    std::string text;
    if (in.is_open())
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        if (readError)
            *readError = "cannot be read";
        return {};
    }
    return parse(text);
}

std::optional<std::string> Blocklist::blockingAddress(const ServerAddress& address) const {
    for (const auto& server : m_servers)
        if (server.address.port == address.port && server.address.host == address.host)
            return server.text;
    if (const auto ip = ipv4Value(address.host)) {
        for (const auto& range : m_ranges)
            if ((*ip & range.mask) == range.first)
                return range.text;
    }
    return std::nullopt;
}

std::optional<std::string> Blocklist::blockingName(std::string_view name) const {
    for (const auto& entry : m_names)
        if (globMatches(entry.glob, name))
            return entry.text;
    return std::nullopt;
}

std::string Blocklist::serverLine(const ServerAddress& address) {
    return addressText(address);
}

std::optional<std::string> Blocklist::addressLine(const ServerAddress& address) {
    if (!ipv4Value(address.host))
        return std::nullopt;
    return address.host;
}

bool appendBlocklistLine(const std::string& path, const std::string& line) {
    std::string text;
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        std::ifstream in(path, std::ios::binary);
        if (!in.is_open())
            return false;
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad())
            return false;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        std::string_view existing =
            trimmed(std::string_view(text).substr(at, end == std::string::npos ? end : end - at));
        if (existing == line)
            return true;
        at = end == std::string::npos ? text.size() : end + 1;
    }
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += line;
    text += '\n';
    return writeFileAtomically(path,
                               {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace ondel
