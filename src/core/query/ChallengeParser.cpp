#include "ChallengeParser.h"

#include "common/ByteReader.h"
#include "query/QueryProtocol.h"

#include <cstring>

namespace ondel {

namespace {
constexpr std::size_t kPrefixLength = sizeof(protocol::kRconChallengePrefix) - 1; // 15
constexpr std::size_t kNumberOffset = protocol::kHeaderSize + kPrefixLength;      // 19
constexpr std::size_t kMaxNumberText = 63;
} // namespace

bool ChallengeParser::isRconChallenge(const std::uint8_t* data, std::size_t n) {
    return data && n >= kNumberOffset &&
           std::memcmp(data + protocol::kHeaderSize, protocol::kRconChallengePrefix,
                       kPrefixLength) == 0;
}

std::optional<std::uint32_t> ChallengeParser::rconChallenge(const std::uint8_t* data,
                                                            std::size_t n) {
    if (!isRconChallenge(data, n))
        return std::nullopt;
    std::size_t end = n - kNumberOffset > kMaxNumberText ? kNumberOffset + kMaxNumberText : n;
    std::size_t i = kNumberOffset;
    while (i < end && (data[i] == ' ' || data[i] == '\t' || data[i] == '\n' || data[i] == '\r' ||
                       data[i] == '\v' || data[i] == '\f'))
        ++i;
    std::uint64_t value = 0;
    bool any = false;
    for (; i < end && data[i] >= '0' && data[i] <= '9'; ++i) {
        any = true;
        value = value * 10 + (data[i] - '0');
        // A number past 32 bits is not a challenge this server could check; sending a cut-down
        // one would only be refused.
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    if (!any)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::int32_t> ChallengeParser::steamChallenge(const std::uint8_t* data,
                                                            std::size_t n) {
    ByteReader in(data, n);
    if (in.u32() != protocol::kOutOfBand || in.u8() != protocol::kSteamChallengeReply)
        return std::nullopt;
    std::int32_t value = in.i32();
    if (!in.ok())
        return std::nullopt;
    return value;
}

std::string ChallengeParser::printText(const std::uint8_t* data, std::size_t n) {
    ByteReader in(data, n);
    if (!in.skip(protocol::kHeaderSize + 1))
        return {};
    return in.cStringOrRest();
}

} // namespace ondel
