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

// The console's message lines for a command the packet budget held back and for one the socket
// did not send.
inline constexpr std::string_view kHeldMessage =
    "Ondel ERROR: Cannot send rcon command now, because the packet budget for this server is used "
    "up; send it again in a moment!!!";
inline constexpr std::string_view kSendFailedMessage =
    "Ondel ERROR: Cannot send rcon command, because the socket did not send it!!!";

// What a server prints when it refuses a command's password.
inline constexpr std::string_view kPasswordRefusal = "Bad rcon_password.";
// Why nothing more goes out with a refused password (the console's and ondel-cli's text).
inline constexpr std::string_view kRefusedMessage =
    "Ondel ERROR: The server refused the rcon password. Many servers ban an address after 5 "
    "refused passwords within 30 s, so nothing more is sent with this password until it is "
    "changed or you confirm!!!";

// The command text: "rcon N \"PASSWORD\" COMMAND" with a challenge number, "rcon \"PASSWORD\"
// COMMAND" without one (challenge 0). Password and command go in exactly as given: servers expect
// the bytes the user typed, so nothing is quoted, escaped or trimmed.
std::string commandText(std::uint32_t challenge, std::string_view password,
                        std::string_view command);

// "-" for 0 (no number known), otherwise the number in decimal; the console's "No:" field.
std::string challengeDisplay(std::uint32_t challenge);

} // namespace ondel::rcon
