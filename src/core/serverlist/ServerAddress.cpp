#include "ServerAddress.h"
#include "TargetAddress.h"

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
        std::string plain(host);
        if (!normaliseDottedHost(plain))
            return {};
        return ServerAddress{std::move(plain), port};
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

std::optional<std::uint32_t> dottedQuadValue(std::string_view host) {
    std::uint32_t value = 0;
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= host.size() || host[i] != '.')
                return std::nullopt;
            ++i;
        }
        std::size_t digits = 0;
        std::uint32_t number = 0;
        while (i < host.size() && isDigit(host[i]) && digits <= 3) {
            number = number * 10 + static_cast<std::uint32_t>(host[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || number > 255)
            return std::nullopt;
        value = (value << 8) | number;
    }
    if (i != host.size())
        return std::nullopt;
    return value;
}

bool normaliseDottedHost(std::string& host) {
    const std::optional<std::uint32_t> quad = dottedQuadValue(host);
    if (!quad)
        return false;
    const std::uint32_t value = *quad;
    host = std::to_string(value >> 24) + '.' + std::to_string((value >> 16) & 0xFF) + '.' +
           std::to_string((value >> 8) & 0xFF) + '.' + std::to_string(value & 0xFF);
    return true;
}

bool isRefusedTarget(std::uint32_t ipv4) {
    const std::uint32_t first = ipv4 >> 24;
    return first == 0 || first >= 224; // this network; multicast, reserved and broadcast
}

std::string targetRefusal(const ServerAddress& address) {
    const std::optional<std::uint32_t> quad = dottedQuadValue(address.host);
    if (!quad || !isRefusedTarget(*quad))
        return {};
    const std::uint32_t value = *quad;
    const std::uint32_t first = value >> 24;
    const char* what = first == 0             ? "an address of \"this network\" (0.0.0.0/8)"
                       : value == 0xFFFFFFFFu ? "the broadcast address"
                       : first < 240          ? "a multicast address (224.0.0.0/4)"
                                              : "a reserved address (240.0.0.0/4)";
    return address.host + " is " + what + ", not a game server; nothing is sent to it";
}

bool isDottedText(std::string_view host) {
    for (char c : host)
        if (c != '.' && (c < '0' || c > '9'))
            return false;
    return !host.empty();
}

} // namespace ondel
