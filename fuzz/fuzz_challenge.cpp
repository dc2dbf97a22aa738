// The small replies: RCON challenge, Steam challenge and printed text. No crash; an accepted
// RCON challenge is the decimal number the datagram carries; nothing is read past the end.
#include "FuzzCheck.h"

#include "query/ChallengeParser.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using ondel::ChallengeParser;
    bool header = size >= 4 && std::memcmp(data, "\xFF\xFF\xFF\xFF", 4) == 0;

    bool isChallenge = ChallengeParser::isRconChallenge(data, size);
    if (isChallenge)
        FUZZ_CHECK(size >= 19 && std::memcmp(data + 4, "challenge rcon ", 15) == 0);
    if (auto number = ChallengeParser::rconChallenge(data, size)) {
        FUZZ_CHECK(isChallenge);
        // The number's decimal text appears within the 63 bytes after the prefix.
        std::string digits = std::to_string(*number);
        std::size_t window = size - 19 < 63 ? size - 19 : 63;
        std::string_view after(reinterpret_cast<const char*>(data) + 19, window);
        std::size_t at = after.find_first_not_of(" \t\n\r\v\f");
        FUZZ_CHECK(at != std::string_view::npos);
        // Leading zeros are allowed in the datagram.
        std::size_t first = after.find_first_not_of('0', at);
        std::string_view rest =
            first == std::string_view::npos ? std::string_view("0") : after.substr(first);
        if (*number == 0)
            FUZZ_CHECK(rest.empty() || rest == "0" || rest[0] < '0' || rest[0] > '9');
        else
            FUZZ_CHECK(rest.substr(0, digits.size()) == digits &&
                       (rest.size() == digits.size() || rest[digits.size()] < '0' ||
                        rest[digits.size()] > '9'));
    }

    if (auto steam = ChallengeParser::steamChallenge(data, size)) {
        FUZZ_CHECK(size >= 9 && header && data[4] == 'A');
        std::int32_t expected;
        std::memcpy(&expected, data + 5, 4); // the build machines are little-endian
        FUZZ_CHECK(*steam == expected);
    }

    std::string text = ChallengeParser::printText(data, size);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(size >= 5 ? text.size() <= size - 5 : text.empty());
    if (!text.empty())
        FUZZ_CHECK(std::memcmp(text.data(), data + 5, text.size()) == 0);
    return 0;
}
