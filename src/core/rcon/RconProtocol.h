#pragma once

#include "query/QueryEngine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ondel::rcon {

// The longest text an out-of-band datagram carries: 4 header bytes + text + NUL fit in 1024.
inline constexpr std::size_t kMaxOutOfBandText = QueryEngine::kMaxOutOfBandText;

// Text of the challenge request; the server answers "challenge rcon <number>".
inline constexpr std::string_view kChallengeRequest = "challenge rcon\n";

// The console's message line for a command that would not fit in one datagram.
inline constexpr std::string_view kTooLongMessage =
    "Ondel ERROR: Cannot send rcon command, because it is longer than 1019 bytes!!!";

// The command text: "rcon N \"PASSWORD\" COMMAND" with a challenge number, "rcon \"PASSWORD\"
// COMMAND" without one (challenge 0). Password and command go in exactly as given: servers expect
// the bytes the user typed, so nothing is quoted, escaped or trimmed.
std::string commandText(std::uint32_t challenge, std::string_view password,
                        std::string_view command);

// "-" for 0 (no number known), otherwise the number in decimal; the console's "No:" field.
std::string challengeDisplay(std::uint32_t challenge);

} // namespace ondel::rcon
