#pragma once

#include "ChallengeBook.h"
#include "Datagram.h"
#include "ServerState.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ondel::hlsim {

// Answers the query requests of one simulated server (not RCON): "ping" in every dialect;
// "details", "rules" and "players" in the legacy dialect; A2S_INFO, A2S_PLAYER and A2S_RULES
// with their challenges in the Steam dialect. Replies are whole datagrams; splitting them into
// fragments is the caller's job. Single-threaded.
class QueryResponder {
public:
    explicit QueryResponder(std::uint32_t seed);

    // The replies to one request, in sending order; empty when this server ignores it.
    std::vector<Datagram> answer(std::span<const std::uint8_t> request, const std::string& senderIp,
                                 const ServerState& state, double now);

    static Datagram pingReply();
    static Datagram legacyInfoReply(const ServerState& state);
    static Datagram steamInfoReply(const ServerState& state);
    static Datagram playersReply(const ServerState& state, double now);
    static Datagram rulesReply(const ServerState& state, double now);
    static Datagram challengeReply(std::uint32_t challenge);

private:
    ChallengeBook m_challenges;
};

} // namespace ondel::hlsim
