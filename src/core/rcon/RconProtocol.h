#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ondel::rcon {

// The longest text an out-of-band datagram carries: 4 header bytes + text + NUL fit in 1024.
inline constexpr std::size_t kMaxOutOfBandText = 1019;

// Text of the challenge request; the server answers "challenge rcon <number>".
inline constexpr std::string_view kChallengeRequest = "challenge rcon\n";

// The 15 bytes after the 0xFF header that mark a challenge reply (note the trailing blank).
inline constexpr std::string_view kChallengeReplyPrefix = "challenge rcon ";

// Message lines the console shows instead of sending (string table entry 1058, and the line for a
// command that would not fit in one datagram).
inline constexpr std::string_view kNoChallengeMessage =
    "Ondel ERROR: Cannot send rcon command, because no rcon challenge number received!!!";
inline constexpr std::string_view kTooLongMessage =
    "Ondel ERROR: Cannot send rcon command, because it is longer than 1019 bytes!!!";

// The command text: "rcon N \"PASSWORD\" COMMAND" with a challenge number, "rcon \"PASSWORD\"
// COMMAND" without one (challenge 0). Password and command go in exactly as given: servers expect
// the bytes the user typed, so nothing is quoted, escaped or trimmed.
std::string commandText(std::uint32_t challenge, std::string_view password,
                        std::string_view command);

// Reads the challenge number of a whole datagram (0xFF header included). Returns nothing when the
// datagram is not a challenge reply (shorter than 19 bytes, another header or prefix). Otherwise
// the number read from at most 63 bytes after the prefix: leading white space skipped, digits up
// to the first other byte; 0 when no digit follows. Values beyond 32 bits saturate.
std::optional<std::uint32_t> parseChallengeReply(const std::uint8_t* data, std::size_t n);

// "-" for 0 (no number known), otherwise the number in decimal; the console's "No:" field.
std::string challengeDisplay(std::uint32_t challenge);

} // namespace ondel::rcon
