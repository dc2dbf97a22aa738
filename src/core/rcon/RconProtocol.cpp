#include "RconProtocol.h"

#include "common/ByteReader.h"

#include <limits>

namespace ondel::rcon {

std::string commandText(std::uint32_t challenge, std::string_view password,
                        std::string_view command) {
    std::string text = "rcon ";
    if (challenge != 0) {
        text += std::to_string(challenge);
        text += ' ';
    }
    text += '"';
    text += password;
    text += "\" ";
    text += command;
    return text;
}

std::optional<std::uint32_t> parseChallengeReply(const std::uint8_t* data, std::size_t n) {
    ByteReader reader(data, n);
    if (reader.u32() != 0xFFFFFFFFu)
        return std::nullopt;
    if (reader.bytes(kChallengeReplyPrefix.size()) != kChallengeReplyPrefix || !reader.ok())
        return std::nullopt;
    std::string rest = reader.bytes(reader.remaining() < 63 ? reader.remaining() : 63);

    std::size_t i = 0;
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    while (i < rest.size() && isSpace(rest[i]))
        ++i;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(rest[i] - '0');
        if (value > kMax)
            value = kMax; // keeps saturating for every further digit
    }
    return static_cast<std::uint32_t>(value);
}

std::string challengeDisplay(std::uint32_t challenge) {
    return challenge == 0 ? std::string("-") : std::to_string(challenge);
}

} // namespace ondel::rcon
