#pragma once

#include "HlsimOptions.h"
#include "Scenario.h"

#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace ondel::hlsim {

struct SimPlayer {
    std::string name;
    int userId = 0;
    std::string uniqueId; // "STEAM_0:X:Y", or "BOT"
    std::string address;  // "IP:PORT" as status shows it
    int frags = 0;
    double connectedAt = 0.0; // simulator seconds; negative for players there before the start
    int ping = 0;
    bool bot = false;
};

using RuleList = std::vector<std::pair<std::string, std::string>>;

// The game state of one simulated server: what the queries report and RCON shows. Times are
// seconds on the simulator's clock (0 at start), passed in so that the state never reads a
// clock itself. Every change returns the log lines a real server writes for it (the text after
// "L MM/DD/YYYY - HH:MM:SS: "). Single-threaded.
class ServerState {
public:
    // `port` is the game port this server answers on; serverNumber counts from 0 (--count).
    ServerState(const HlsimOptions& options, int port, int serverNumber, std::uint32_t seed);

    const HlsimOptions& options() const { return m_options; }
    int port() const { return m_port; }
    // "IP:PORT" of the server itself, as its info reply starts.
    const std::string& addressText() const { return m_addressText; }
    const std::string& name() const { return m_name; }
    const std::string& map() const { return m_map; }
    const std::string& gameDesc() const { return m_gameDesc; }
    int maxPlayers() const { return m_maxPlayers; }
    bool password() const { return m_password; }
    const std::vector<SimPlayer>& players() const { return m_players; }
    int botCount() const;
    // Seconds the player has been connected at `now`.
    static double connectedSeconds(const SimPlayer& player, double now);

    // The rules in reply order, mp_timeleft computed for `now` unless a fixed value was given.
    RuleList rules(double now) const;
    std::optional<std::string> ruleValue(const std::string& name, double now) const;
    int timeLeft(double now) const;

    std::vector<std::string> apply(const ScenarioEvent& event, double now);
    std::vector<std::string> join(const std::string& name, int frags, double now);
    std::vector<std::string> leave(const std::string& name);
    std::vector<std::string> changeMap(const std::string& map, double now);
    std::vector<std::string> setRule(const std::string& name, const std::string& value);
    std::vector<std::string> setName(const std::string& name);
    std::vector<std::string> setMaxPlayers(int maxPlayers);
    std::vector<std::string> fill(double now);
    std::vector<std::string> freeSlots(int slots);

    // "Name<2><STEAM_0:1:234><>" as log lines name a player.
    static std::string logName(const SimPlayer& player);

private:
    SimPlayer makePlayer(const std::string& name, int frags, double connectedAt, bool bot);
    std::string generatedName();
    SimPlayer* find(const std::string& name);

    HlsimOptions m_options;
    int m_port = 0;
    std::string m_addressText;
    std::mt19937 m_rng;
    std::string m_name;
    std::string m_map;
    std::string m_gameDesc;
    int m_maxPlayers = 16;
    bool m_password = false;
    std::vector<SimPlayer> m_players;
    RuleList m_rules;
    bool m_liveTimeLeft = true;
    double m_mapStartedAt = 0.0;
    int m_nextUserId = 2;
    int m_generated = 0;
    std::size_t m_nameBase = 0; // where generated names start in the name table
};

} // namespace ondel::hlsim
