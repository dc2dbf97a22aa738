#include "watch/Shard.h"

#include <charconv>

namespace ondel {

namespace {
bool parseNumber(std::string_view text, int& out) {
    if (text.empty() || text.size() > 5)
        return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}
} // namespace

std::optional<Shard> parseShard(std::string_view text) {
    std::size_t slash = text.find('/');
    Shard shard;
    if (slash == std::string_view::npos || !parseNumber(text.substr(0, slash), shard.index) ||
        !parseNumber(text.substr(slash + 1), shard.count))
        return std::nullopt;
    if (shard.count < 1 || shard.count > 10000 || shard.index < 1 || shard.index > shard.count)
        return std::nullopt;
    return shard;
}

int shardOf(const ServerAddress& address, int count) {
    std::uint32_t hash = 2166136261u;
    auto add = [&](char c) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    };
    for (char c : address.host)
        add(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    add(':');
    for (char c : std::to_string(address.port))
        add(c);
    return count <= 1 ? 1 : static_cast<int>(hash % static_cast<std::uint32_t>(count)) + 1;
}

} // namespace ondel
