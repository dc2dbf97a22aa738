#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// One server as the latest round of a watch left it.
struct ServerMetrics {
    std::string server; // "HOST:PORT"
    bool up = false;
    int players = 0;
    int maxPlayers = 0;
    int bots = -1;   // -1: the server does not say
    int pingMs = -1; // -1: no answer
    // Bytes as the server sent them.
    std::string name;
    std::string map;
    std::string game;
    std::string dialect; // "legacy" or "steam"
};

// The watcher's own figures.
struct WatchFigures {
    double roundSeconds = 0.0; // how long the latest round took
    std::uint64_t rounds = 0;
    std::uint64_t packetsSent = 0;
    std::uint64_t packetsReceived = 0;
    std::uint64_t sendsHeld = 0; // requests the per-server packet budget held back
};

// A label value as the text exposition format wants it: UTF-8 (server text that is not is read
// as Windows-1252), backslash, double quote and line feed escaped, other control characters as
// U+FFFD; at most 256 bytes of text before escaping.
std::string prometheusLabelValue(std::string_view bytes);

// The exposition text of one round: a2s_server_up, _players, _max_players for every server;
// _bots, _ping_seconds and _info for the servers that answered; the ondel_watch_* figures.
// Every series carries server="HOST:PORT".
std::string prometheusText(const std::vector<ServerMetrics>& servers, const WatchFigures& figures);

} // namespace ondel
