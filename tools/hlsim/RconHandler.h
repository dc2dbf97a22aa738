#pragma once

#include "ChallengeBook.h"
#include "Datagram.h"
#include "ServerState.h"

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ondel::hlsim {

struct LogTarget {
    std::string ip;
    int port = 0;
    bool operator==(const LogTarget&) const = default;
};

// What one RCON datagram leads to: whole reply datagrams for the sender (the challenge reply or
// a print reply; splitting is the caller's job) and the log lines the server writes for it.
struct RconOutcome {
    std::vector<Datagram> replies;
    std::vector<std::string> logLines;
};

// The remote console of one simulated server: "challenge rcon", the command datagrams
// "rcon CHALLENGE PASSWORD COMMAND" (the password may be quoted) and, with --old-rcon, the old
// "rcon PASSWORD COMMAND". Runs the commands on the ServerState and keeps the log addresses set
// by "logaddress". Single-threaded.
class RconHandler {
public:
    explicit RconHandler(std::uint32_t seed);

    // True for datagrams this handler takes: FF FF FF FF "challenge rcon..." or "rcon ...".
    static bool isRcon(std::span<const std::uint8_t> request);

    RconOutcome handle(std::span<const std::uint8_t> request, const std::string& senderIp,
                       int senderPort, ServerState& state, double now);

    const std::vector<LogTarget>& logTargets() const { return m_logTargets; }

    // FF FF FF FF 'l' text and two NUL bytes, as servers end their print replies.
    static Datagram printReply(std::string_view text);
    // FF FF FF FF "log L MM/DD/YYYY - HH:MM:SS: " text "\n" NUL, in local time.
    static Datagram logDatagram(std::string_view text, std::time_t when);
    // The status command's output.
    static std::string statusText(const ServerState& state, double now);

private:
    std::string runCommand(const std::string& command, ServerState& state, double now,
                           std::vector<std::string>& logLines);
    std::string logAddressCommand(const std::string& verb, const std::vector<std::string>& args);

    ChallengeBook m_challenges;
    std::vector<LogTarget> m_logTargets;
};

} // namespace ondel::hlsim
