#include "ServerState.h"

#include "common/Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

namespace ondel::hlsim {

namespace {

constexpr std::array<const char*, 48> kNames = {
    "Blackmesa",  "Crowbar",     "Headcrab",  "Vortigaunt", "Tripmine",   "Snark",     "Gluon",
    "Tau",        "Satchel",     "Hornet",    "Barnacle",   "Houndeye",   "Bullsquid", "Ichthyo",
    "Gargantua",  "Osprey",      "Apache",    "Xen",        "Nihilanth",  "Tentacle",  "Gonarch",
    "Controller", "Scientist",   "Guard",     "Marine",     "Assassin",   "Lambda",    "Anomaly",
    "Resonance",  "Cascade",     "Crossfire", "Stalkyard",  "Bounce",     "Datacore",  "Frenzy",
    "Gasworks",   "Lambdabunk",  "Rapidcore", "Snarkpit",   "Subtransit", "Undertow",  "Boot_camp",
    "Bootbox",    "Doublecross", "Rocket",    "Egon",       "Magnum",     "Shotgun",
};

// Fixed default rules, in the order a Half-Life server lists its server cvars.
const RuleList& defaultRules() {
    static const RuleList rules = {
        {"mp_timelimit", "30"},   {"mp_timeleft", ""},    {"mp_fraglimit", "0"},
        {"mp_friendlyfire", "0"}, {"mp_footsteps", "1"},  {"mp_flashlight", "0"},
        {"mp_forcerespawn", "1"}, {"mp_weaponstay", "0"}, {"sv_gravity", "800"},
        {"sv_maxspeed", "320"},   {"sv_aim", "0"},        {"coop", "0"},
        {"deathmatch", "1"},
    };
    return rules;
}

std::string statusAddress(std::mt19937& rng) {
    // Documentation addresses (192.0.2.0/24): status shows them, nothing is ever sent there.
    std::uniform_int_distribution<int> host(1, 254);
    std::uniform_int_distribution<int> port(27005, 27099);
    return "192.0.2." + std::to_string(host(rng)) + ":" + std::to_string(port(rng));
}

} // namespace

ServerState::ServerState(const HlsimOptions& options, int port, int serverNumber,
                         std::uint32_t seed)
    : m_options(options), m_port(port),
      m_addressText(options.bindAddress + ":" + std::to_string(port)), m_rng(seed),
      m_name(options.name), m_map(options.map), m_gameDesc(options.gameDesc),
      m_maxPlayers(options.effectiveMaxPlayers()), m_password(options.password) {
    if (options.count > 1)
        m_name += " #" + std::to_string(serverNumber + 1);

    m_nameBase = std::uniform_int_distribution<std::size_t>(0, kNames.size() - 1)(m_rng);
    m_rules = defaultRules();
    for (const auto& [name, value] : options.rules)
        setRule(name, value);
    for (int i = 1; i <= options.rulesExtra; ++i)
        m_rules.emplace_back(text::format("hlsim_extra_%03d", i), std::to_string(i * 7 % 1000));

    // Players who were there before the simulator started: connected up to an hour ago.
    int total = std::max(options.players, options.bots);
    std::uniform_int_distribution<int> frags(0, 40);
    std::uniform_real_distribution<double> since(30.0, 3600.0);
    for (int i = 0; i < total; ++i) {
        bool bot = i >= total - options.bots;
        std::string name = generatedName();
        if (bot)
            name = "BOT " + name;
        // The connection time is drawn in the same place as ever, so a seed gives the same
        // players it always gave.
        m_players.push_back(makePlayer(
            name, frags(m_rng),
            -(options.playerTime >= 0 ? static_cast<double>(options.playerTime) : since(m_rng)),
            bot));
    }
}

int ServerState::botCount() const {
    return static_cast<int>(std::count_if(m_players.begin(), m_players.end(),
                                          [](const SimPlayer& p) { return p.bot; }));
}

double ServerState::connectedSeconds(const SimPlayer& player, double now) {
    return std::max(0.0, now - player.connectedAt);
}

RuleList ServerState::rules(double now) const {
    RuleList result = m_rules;
    if (m_liveTimeLeft) {
        for (auto& [name, value] : result) {
            if (name == "mp_timeleft")
                value = std::to_string(timeLeft(now));
        }
    }
    return result;
}

std::optional<std::string> ServerState::ruleValue(const std::string& name, double now) const {
    for (const auto& [ruleName, value] : rules(now)) {
        if (ruleName == name)
            return value;
    }
    return std::nullopt;
}

int ServerState::timeLeft(double now) const {
    int limitMinutes = 0;
    for (const auto& [name, value] : m_rules) {
        if (name == "mp_timelimit")
            text::parseLeadingInt(value, limitMinutes);
    }
    if (limitMinutes <= 0)
        return 0;
    // When the time runs out the map starts over (no map cycle is simulated).
    double period = limitMinutes * 60.0;
    double elapsed = std::fmod(std::max(0.0, now - m_mapStartedAt), period);
    return static_cast<int>(std::ceil(period - elapsed));
}

std::vector<std::string> ServerState::apply(const ScenarioEvent& event, double now) {
    const auto& a = event.args;
    switch (event.action) {
    case ScenarioAction::Join:
        return join(a[0], event.number, now);
    case ScenarioAction::Leave:
        return leave(a[0]);
    case ScenarioAction::Frags:
        if (SimPlayer* player = find(a[0]))
            player->frags = event.relative ? player->frags + event.number : event.number;
        return {};
    case ScenarioAction::Kill: {
        SimPlayer* killer = find(a[0]);
        SimPlayer* victim = find(a[1]);
        if (killer == nullptr || victim == nullptr)
            return {};
        if (killer == victim)
            --killer->frags;
        else
            ++killer->frags;
        std::string weapon = a.size() > 2 ? a[2] : "crowbar";
        return {logName(*killer) + " killed " + logName(*victim) + " with \"" + weapon + "\""};
    }
    case ScenarioAction::Say: {
        SimPlayer* player = find(a[0]);
        if (player == nullptr)
            return {};
        std::string said;
        for (std::size_t i = 1; i < a.size(); ++i)
            said += (i > 1 ? " " : "") + a[i];
        return {logName(*player) + " say \"" + said + "\""};
    }
    case ScenarioAction::Set:
        if (a[0] == "name")
            return setName(a[1]);
        if (a[0] == "map")
            return changeMap(a[1], now);
        if (a[0] == "maxplayers")
            return setMaxPlayers(event.number);
        if (a[0] == "password") {
            m_password = event.number != 0;
            return {std::string("Server cvar \"sv_password\" = \"") + (m_password ? "***" : "") +
                    "\""};
        }
        m_gameDesc = a[1];
        return {};
    case ScenarioAction::Rule:
        return setRule(a[0], a[1]);
    case ScenarioAction::Unrule:
        std::erase_if(m_rules, [&](const auto& rule) { return rule.first == a[0]; });
        return {};
    case ScenarioAction::Full:
        return fill(now);
    case ScenarioAction::Free:
        return freeSlots(event.number);
    case ScenarioAction::Log: {
        std::string line;
        for (std::size_t i = 0; i < a.size(); ++i)
            line += (i > 0 ? " " : "") + a[i];
        return {line};
    }
    }
    return {};
}

std::vector<std::string> ServerState::join(const std::string& name, int frags, double now) {
    if (static_cast<int>(m_players.size()) >= m_maxPlayers)
        return {}; // a full server turns the player away
    // A player who is already there stays as he is, so a looping scenario may join its cast
    // again at the start of every round.
    if (find(name) != nullptr)
        return {};
    m_players.push_back(makePlayer(name, frags, now, false));
    const SimPlayer& player = m_players.back();
    std::string pending = "\"" + player.name + "<" + std::to_string(player.userId) +
                          "><STEAM_ID_PENDING><>\" connected, address \"" + player.address + "\"";
    return {pending, logName(player) + " entered the game"};
}

std::vector<std::string> ServerState::leave(const std::string& name) {
    auto it = std::find_if(m_players.begin(), m_players.end(),
                           [&](const SimPlayer& p) { return p.name == name; });
    if (it == m_players.end())
        return {};
    std::string line = logName(*it) + " disconnected";
    m_players.erase(it);
    return {line};
}

std::vector<std::string> ServerState::changeMap(const std::string& map, double now) {
    m_map = map;
    m_mapStartedAt = now;
    for (auto& player : m_players)
        player.frags = 0;
    std::uint32_t crc = 0;
    for (unsigned char c : map)
        crc = crc * 31 + c;
    return {"Loading map \"" + map + "\"",
            "Started map \"" + map + "\" (CRC \"" + std::to_string(crc) + "\")"};
}

std::vector<std::string> ServerState::setRule(const std::string& name, const std::string& value) {
    // A value given for mp_timeleft is reported as it is from then on (tests use odd values).
    if (name == "mp_timeleft")
        m_liveTimeLeft = false;
    auto it = std::find_if(m_rules.begin(), m_rules.end(),
                           [&](const auto& rule) { return rule.first == name; });
    if (it != m_rules.end())
        it->second = value;
    else
        m_rules.emplace_back(name, value);
    return {"Server cvar \"" + name + "\" = \"" + value + "\""};
}

std::vector<std::string> ServerState::setName(const std::string& name) {
    m_name = name;
    return {"Server cvar \"hostname\" = \"" + name + "\""};
}

std::vector<std::string> ServerState::setMaxPlayers(int maxPlayers) {
    m_maxPlayers = std::clamp(maxPlayers, 1, 255);
    std::vector<std::string> lines;
    while (static_cast<int>(m_players.size()) > m_maxPlayers) {
        lines.push_back(logName(m_players.back()) + " disconnected");
        m_players.pop_back();
    }
    return lines;
}

std::vector<std::string> ServerState::fill(double now) {
    std::vector<std::string> lines;
    std::uniform_int_distribution<int> frags(0, 20);
    while (static_cast<int>(m_players.size()) < m_maxPlayers) {
        auto joined = join(generatedName(), frags(m_rng), now);
        lines.insert(lines.end(), joined.begin(), joined.end());
    }
    return lines;
}

std::vector<std::string> ServerState::freeSlots(int slots) {
    std::vector<std::string> lines;
    while (!m_players.empty() && m_maxPlayers - static_cast<int>(m_players.size()) < slots) {
        lines.push_back(logName(m_players.back()) + " disconnected");
        m_players.pop_back();
    }
    return lines;
}

std::string ServerState::logName(const SimPlayer& player) {
    return "\"" + player.name + "<" + std::to_string(player.userId) + "><" + player.uniqueId +
           "><>\"";
}

SimPlayer ServerState::makePlayer(const std::string& name, int frags, double connectedAt,
                                  bool bot) {
    SimPlayer player;
    player.name = name;
    player.userId = m_nextUserId++;
    player.frags = frags;
    player.connectedAt = connectedAt;
    player.bot = bot;
    if (bot) {
        player.uniqueId = "BOT";
        player.address = "loopback";
    } else {
        std::uniform_int_distribution<int> universe(0, 1);
        std::uniform_int_distribution<int> account(10000, 99999999);
        std::uniform_int_distribution<int> ping(5, 180);
        player.uniqueId =
            "STEAM_0:" + std::to_string(universe(m_rng)) + ":" + std::to_string(account(m_rng));
        player.address = statusAddress(m_rng);
        player.ping = ping(m_rng);
    }
    return player;
}

std::string ServerState::generatedName() {
    // Walk the name table from a per-server starting point; after one round add numbers.
    std::set<std::string> taken;
    for (const auto& p : m_players)
        taken.insert(p.name);
    for (;;) {
        std::size_t round = static_cast<std::size_t>(m_generated) / kNames.size();
        std::string name =
            kNames[(m_nameBase + static_cast<std::size_t>(m_generated)) % kNames.size()];
        ++m_generated;
        if (round > 0)
            name += std::to_string(round + 1);
        if (!taken.contains(name) && !taken.contains("BOT " + name))
            return name;
    }
}

SimPlayer* ServerState::find(const std::string& name) {
    for (auto& player : m_players) {
        if (player.name == name)
            return &player;
    }
    return nullptr;
}

} // namespace ondel::hlsim
