#include "RconProtocol.h"

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

std::string challengeDisplay(std::uint32_t challenge) {
    return challenge == 0 ? std::string("-") : std::to_string(challenge);
}

} // namespace ondel::rcon
