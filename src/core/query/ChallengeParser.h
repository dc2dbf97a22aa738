#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ondel {

// The small replies: the RCON challenge ("challenge rcon " and a decimal number), the Steam
// challenge (`A` and an int32) and printed text (`l`).
class ChallengeParser {
public:
    // True for a datagram of at least 19 bytes whose bytes 4..18 are "challenge rcon ".
    static bool isRconChallenge(const std::uint8_t* data, std::size_t n);
    // The unsigned decimal number after "challenge rcon " (at most 63 bytes are looked at;
    // leading blanks skipped; reading stops at the first non-digit). Nothing when the datagram
    // is no challenge reply, holds no number, or the number does not fit 32 bits. 0 may be
    // returned; the caller decides what it means.
    static std::optional<std::uint32_t> rconChallenge(const std::uint8_t* data, std::size_t n);
    // The int32 of a Steam challenge reply (FF FF FF FF 'A' int32); nothing when cut short.
    static std::optional<std::int32_t> steamChallenge(const std::uint8_t* data, std::size_t n);
    // The text of an `l` reply: from offset 5 to the first 00 byte or the end.
    static std::string printText(const std::uint8_t* data, std::size_t n);
};

} // namespace ondel
