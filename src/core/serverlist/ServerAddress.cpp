#include "ServerAddress.h"

namespace ondel {

namespace {
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
} // namespace

ServerAddress parseAddress(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && isSpace(text[start]))
        ++start;
    text.remove_prefix(start);
    if (auto blank = text.find(' '); blank != std::string_view::npos)
        text = text.substr(0, blank);

    auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return {};
    std::string_view host = text.substr(0, colon);
    std::string_view portText = text.substr(colon + 1);

    if (portText.size() > 5)
        return {};
    std::int32_t port = 0;
    for (char c : portText) {
        if (!isDigit(c))
            return {};
        port = port * 10 + (c - '0');
    }
    // A port beyond the UDP range would silently wrap when sent; refuse it instead.
    if (port > 65535)
        return {};

    if (host.empty() || host.back() == '.' || host.find("..") != std::string_view::npos)
        return {};
    std::size_t dots = 0;
    for (char c : host)
        dots += c == '.';
    if (isDigit(host.front())) {
        for (char c : host)
            if (!isDigit(c) && c != '.')
                return {};
        if (dots != 3)
            return {};
    } else if (isLetter(host.front())) {
        if (dots < 2)
            return {};
    } else {
        return {};
    }
    return ServerAddress{std::string(host), port};
}

std::string addressText(const ServerAddress& address) {
    return address.host + ':' + std::to_string(address.port);
}

bool isSameServer(const ServerAddress& a, const ServerAddress& b) {
    return a.port == b.port && a.host == b.host;
}

bool isDottedText(std::string_view host) {
    for (char c : host)
        if (c != '.' && (c < '0' || c > '9'))
            return false;
    return !host.empty();
}

} // namespace ondel
