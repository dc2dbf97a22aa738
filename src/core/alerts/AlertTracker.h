#pragma once

#include "notify/PlayerWatch.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ondel {

// What a watcher is told about. Each rule fires once when its condition starts to hold and is
// quiet while it goes on holding; it fires again only after the condition ended and came back.
struct AlertRules {
    // Down after this many misses in a row (0: no down or up alerts). Up when a server that was
    // reported down answers again.
    int downAfter = 3;
    // Players at or above / at or below a number (bots included, as the server counts them).
    // The first answer only sets where the server stands; a crossing after it fires.
    std::optional<int> playersAtLeast;
    std::optional<int> playersAtMost;
    bool mapChanges = false;
    // Names whose arrival on a server is reported (A-Z folded; the same as the player watch).
    std::vector<std::string> watchedPlayers;
};

enum class AlertKind { Down, Up, Players, Map, Player };

// The event name as hooks get it: "down", "up", "players", "map", "player".
const char* alertKindName(AlertKind kind);

struct AlertEvent {
    AlertKind kind = AlertKind::Down;
    std::string server; // "HOST:PORT"
    std::string name;   // the server's name (UTF-8 for display), the last known one when down
    std::int64_t timeMs = 0;
    std::string text; // one sentence (UTF-8, no control characters)
    int players = 0;
    int maxPlayers = 0;
    std::string map;    // Map: the new map
    std::string player; // Player: who joined
};

// One server at the end of one query.
struct AlertObservation {
    std::string server;
    bool up = false;
    std::string name; // bytes as the server sent them
    int players = 0;
    int maxPlayers = 0;
    std::string map;
    bool gotPlayers = false; // playerNames holds the whole list
    std::vector<std::string> playerNames;
};

// Turns the answers and misses of many servers into alerts. Rules are set for the whole list
// and may be set for one server over them. Not thread-safe; one thread.
class AlertTracker {
public:
    void setListRules(AlertRules rules);
    void setServerRules(const std::string& server, AlertRules rules);
    // The server goes back to the list's rules, its state dropped.
    void clearServerRules(const std::string& server);
    const AlertRules& rulesFor(const std::string& server) const;

    // Reports what the observation changed, in the order down/up, map, players, player.
    std::vector<AlertEvent> observe(const AlertObservation& seen, std::int64_t timeMs);
    // The server is no longer watched: its state is dropped.
    void forget(const std::string& server);

private:
    struct State {
        int misses = 0;
        bool down = false;
        bool answered = false;
        bool atLeast = false;
        bool atMost = false;
        std::string name;
        std::string map;
    };

    PlayerWatch& watchFor(const std::string& server);

    AlertRules m_listRules;
    std::map<std::string, AlertRules> m_serverRules;
    std::map<std::string, State> m_states;
    PlayerWatch m_listWatch;
    std::map<std::string, PlayerWatch> m_serverWatch;
};

// Server text fit for one line of a message: UTF-8 with control characters as blanks.
std::string alertText(const std::string& bytes);

// The webhook body: {"event","server","name","time","text","content"} (content repeats text,
// which is what chat services show).
std::string alertJson(const AlertEvent& event);

} // namespace ondel
