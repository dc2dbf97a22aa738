#pragma once

#include "Datagram.h"

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace ondel::hlsim {

// The query limit of a stock server, per source address, over every connectionless packet
// (anything that starts FF FF FF FF): the window starts with the first packet; every packet adds
// one to the count; when now - start > window the window starts again with the count at 1;
// otherwise, when count / window > rate, the packet is dropped (and still counted).
//
// Also counts the packets received and dropped per kind for the summary. Times are seconds on
// the simulator's clock. One per simulated server; single-threaded.
class QueryLimiter {
public:
    enum class Kind {
        Ping,
        Details,
        Rules,
        Players,
        SteamInfo,
        SteamPlayers,
        SteamRules,
        SteamChallenge,
        RconChallenge,
        Rcon,
        Other,
        Count
    };

    // rate 0: no limit (only counting).
    QueryLimiter(double rate = 0.0, double windowSeconds = 60.0)
        : m_rate(rate), m_window(windowSeconds) {}

    // True when the packet from ip at now is answered; false when the limit drops it.
    bool admit(const std::string& ip, Kind kind, double now);

    static Kind kindOf(std::span<const std::uint8_t> request);
    static const char* kindName(Kind kind);

    std::uint64_t received(Kind kind) const { return m_received[static_cast<int>(kind)]; }
    std::uint64_t dropped(Kind kind) const { return m_dropped[static_cast<int>(kind)]; }
    // "received K N ... dropped K N ..." over the kinds that were seen.
    std::string summary() const;

private:
    struct Window {
        double start = 0.0;
        std::uint64_t count = 0;
    };

    double m_rate;
    double m_window;
    std::map<std::string, Window> m_windows;
    std::array<std::uint64_t, static_cast<int>(Kind::Count)> m_received{};
    std::array<std::uint64_t, static_cast<int>(Kind::Count)> m_dropped{};
};

} // namespace ondel::hlsim
