#include "HlsimOptions.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace ondel::hlsim {

namespace {

bool parseNumber(const std::string& text, long long low, long long high, long long& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && end == last && out >= low && out <= high;
}

struct IntOption {
    int HlsimOptions::*field;
    long long low;
    long long high;
};

struct StringOption {
    std::string HlsimOptions::*field;
    bool mayBeEmpty;
};

const std::map<std::string, IntOption>& intOptions() {
    static const std::map<std::string, IntOption> table = {
        {"--port", {&HlsimOptions::port, 0, 65535}},
        {"--count", {&HlsimOptions::count, 1, 20000}},
        {"--players", {&HlsimOptions::players, 0, 255}},
        {"--max-players", {&HlsimOptions::maxPlayers, 1, 255}},
        {"--bots", {&HlsimOptions::bots, 0, 255}},
        {"--player-time", {&HlsimOptions::playerTime, 0, 864000}},
        {"--rules-extra", {&HlsimOptions::rulesExtra, 0, 100000}},
        {"--loss", {&HlsimOptions::lossPercent, 0, 100}},
        {"--delay", {&HlsimOptions::delayMs, 0, 600000}},
        {"--duplicate", {&HlsimOptions::duplicatePercent, 0, 100}},
        {"--garbage", {&HlsimOptions::garbagePercent, 0, 100}},
        // A fragment carries a 9-byte header; below 32 bytes the 15-fragment limit is reached
        // by replies as small as a few hundred bytes.
        {"--split-size", {&HlsimOptions::splitSize, 32, 65000}},
    };
    return table;
}

const std::map<std::string, StringOption>& stringOptions() {
    static const std::map<std::string, StringOption> table = {
        {"--bind", {&HlsimOptions::bindAddress, false}},
        {"--name", {&HlsimOptions::name, true}},
        {"--map", {&HlsimOptions::map, true}},
        {"--game-dir", {&HlsimOptions::gameDir, true}},
        {"--game-desc", {&HlsimOptions::gameDesc, true}},
        {"--version", {&HlsimOptions::version, true}},
        {"--scenario", {&HlsimOptions::scenarioPath, false}},
        {"--rcon-password", {&HlsimOptions::rconPassword, true}},
        {"--request-log", {&HlsimOptions::requestLogPath, false}},
    };
    return table;
}

const std::map<std::string, bool HlsimOptions::*>& flagOptions() {
    static const std::map<std::string, bool HlsimOptions::*> table = {
        {"--password", &HlsimOptions::password},
        {"--mod", &HlsimOptions::mod},
        {"--secure", &HlsimOptions::secure},
        {"--info-extra", &HlsimOptions::infoExtra},
        {"--wrong-port", &HlsimOptions::wrongPort},
        {"--old-rcon", &HlsimOptions::oldRcon},
        {"--rcon-endless", &HlsimOptions::rconEndless},
        {"--info-challenge", &HlsimOptions::infoChallenge},
        {"--info-both", &HlsimOptions::infoBoth},
        {"--cut-first", &HlsimOptions::cutFirst},
        {"--quiet", &HlsimOptions::quiet},
        {"--help", &HlsimOptions::help},
        {"-h", &HlsimOptions::help},
    };
    return table;
}

// A share from 0 to 1 with at most four decimals ("0.2", "1", ".05"), in ten-thousandths.
bool parseShare(const std::string& text, int& out) {
    std::size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if ((whole.empty() && fraction.empty()) || fraction.size() > 4 || whole.size() > 1 ||
        (dot != std::string::npos && fraction.empty()))
        return false;
    auto digits = [](const std::string& s) {
        return s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!digits(whole) || !digits(fraction))
        return false;
    fraction.resize(4, '0');
    int value = (whole.empty() ? 0 : (whole[0] - '0') * 10000) + std::stoi(fraction);
    if (value > 10000)
        return false;
    out = value;
    return true;
}

// Whether number index (0-based) is one of the share num/den of a run: spread evenly, so that
// the numbers 0 .. n-1 hold floor(n * num / den) of them.
bool inShare(long long index, long long num, long long den) {
    return (index + 1) * num / den != index * num / den;
}

// "RATE/WINDOW": a rate above 0 (decimals allowed) and a window of seconds above 0.
bool parseLimit(const std::string& value, double& rate, double& window) {
    auto slash = value.find('/');
    if (slash == std::string::npos)
        return false;
    auto number = [](const std::string& text, double& out) {
        const char* first = text.data();
        const char* last = first + text.size();
        auto [end, ec] = std::from_chars(first, last, out);
        return ec == std::errc() && end == last && out > 0.0 && out <= 1e6;
    };
    return number(value.substr(0, slash), rate) && number(value.substr(slash + 1), window);
}

bool parseChoice(const std::string& value, const std::string& allowed, char& out) {
    if (value.size() != 1 || allowed.find(value[0]) == std::string::npos)
        return false;
    out = value[0];
    return true;
}

} // namespace

std::optional<HlsimOptions> HlsimOptions::parse(const std::vector<std::string>& args,
                                                std::string& error) {
    HlsimOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        if (auto eq = option.find('='); option.starts_with("--") && eq != std::string::npos) {
            inlineValue = option.substr(eq + 1);
            option.resize(eq);
        }
        if (auto flag = flagOptions().find(option); flag != flagOptions().end()) {
            if (inlineValue) {
                error = option + " takes no value";
                return std::nullopt;
            }
            options.*(flag->second) = true;
            continue;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = option.starts_with("-") ? option + " needs a value"
                                            : "unexpected argument: " + option;
            return std::nullopt;
        }

        if (auto it = intOptions().find(option); it != intOptions().end()) {
            long long number = 0;
            if (!parseNumber(value, it->second.low, it->second.high, number)) {
                error = option + " needs a number from " + std::to_string(it->second.low) + " to " +
                        std::to_string(it->second.high) + ", not \"" + value + "\"";
                return std::nullopt;
            }
            options.*(it->second.field) = static_cast<int>(number);
        } else if (auto st = stringOptions().find(option); st != stringOptions().end()) {
            if (value.empty() && !st->second.mayBeEmpty) {
                error = option + " needs a value";
                return std::nullopt;
            }
            options.*(st->second.field) = value;
        } else if (option == "--rule") {
            auto eq = value.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--rule needs NAME=VALUE, not \"" + value + "\"";
                return std::nullopt;
            }
            options.rules.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else if (option == "--os") {
            if (!parseChoice(value, "lw", options.os)) {
                error = "--os needs l or w";
                return std::nullopt;
            }
        } else if (option == "--type") {
            if (!parseChoice(value, "dlp", options.type)) {
                error = "--type needs d, l or p";
                return std::nullopt;
            }
        } else if (option == "--dialect") {
            if (value == "legacy") {
                options.dialect = Dialect::Legacy;
            } else if (value == "steam") {
                options.dialect = Dialect::Steam;
            } else if (value == "both") {
                options.dialect = Dialect::Both;
            } else {
                error = "--dialect needs legacy, steam or both";
                return std::nullopt;
            }
        } else if (option == "--steam-only-share" || option == "--dead-share") {
            int& share = option == "--dead-share" ? options.deadShare : options.steamOnlyShare;
            if (!parseShare(value, share)) {
                error = option + " needs a share from 0 to 1, not \"" + value + "\"";
                return std::nullopt;
            }
        } else if (option == "--query-limit") {
            if (!parseLimit(value, options.queryLimitRate, options.queryLimitWindow)) {
                error = "--query-limit needs RATE/WINDOW (3/60, 0.5/30), not \"" + value + "\"";
                return std::nullopt;
            }
        } else if (option == "--seed") {
            long long number = 0;
            if (!parseNumber(value, 0, 0xFFFFFFFFLL, number)) {
                error = "--seed needs a number from 0 to 4294967295";
                return std::nullopt;
            }
            options.seed = static_cast<std::uint32_t>(number);
        } else {
            error = "unknown option: " + option;
            return std::nullopt;
        }
    }
    if (options.port != 0 && options.port + options.count - 1 > 65535) {
        error = "--port and --count reach beyond port 65535";
        return std::nullopt;
    }
    if (options.maxPlayers != 0 && options.players > options.maxPlayers) {
        error = "--players is larger than --max-players";
        return std::nullopt;
    }
    if (options.steamOnlyShare + options.deadShare > 10000) {
        error = "--steam-only-share and --dead-share add up to more than 1";
        return std::nullopt;
    }
    return options;
}

HlsimOptions HlsimOptions::forServer(int index) const {
    HlsimOptions server = *this;
    if (inShare(index, deadShare, 10000)) {
        server.silent = true;
        return server;
    }
    // The Steam-only servers are spread over the live ones, so that together the two shares
    // are of the whole range as asked.
    if (deadShare < 10000) {
        long long live = index - (static_cast<long long>(index) + 1) * deadShare / 10000;
        if (inShare(live, steamOnlyShare, 10000 - deadShare))
            server.dialect = Dialect::Steam;
    }
    return server;
}

int HlsimOptions::effectiveMaxPlayers() const {
    if (maxPlayers != 0)
        return maxPlayers;
    return std::max({16, players, bots});
}

std::string HlsimOptions::usage() {
    return R"(usage: hlsim [options]
A Half-Life server simulator on UDP: answers the server queries and RCON.

  --port N            first port (default 27015; 0 picks a free one)
  --count N           N servers on consecutive ports
  --bind ADDR         IPv4 address to listen on (default 127.0.0.1)
  --name S --map S --game-dir S --game-desc S --version S
  --players N         generated players (names, frags, connection times)
  --max-players N     slots (default: 16, or more when --players/--bots need it)
  --bots N            how many of the players are bots (more players are added if needed)
  --player-time S     every generated player connected exactly S seconds ago (a fake farm)
  --rule NAME=VALUE   a rule (repeatable; replaces a default rule of that name)
  --rules-extra N     N generated rules more
  --password --mod --secure --os l|w --type d|l|p --info-extra
  --dialect D         legacy (default), steam, or both
  --steam-only-share F  that share (0..1) of the --count servers speaks only Steam
  --dead-share F      that share (0..1) of the --count servers never answers
  --info-challenge    Steam info requests need a challenge first
  --info-both         Steam info requests get an m reply and an I reply
  --cut-first         every query reply is sent cut to its first 12 bytes, then whole
  --split-size N      replies longer than N bytes are sent as fragments (default 1400)
  --rcon-password PW  RCON password (empty: every RCON command is refused)
  --old-rcon          accept "rcon PASSWORD COMMAND" without a challenge number
  --rcon-endless      after an RCON command, print lines to its sender without end
  --loss PCT --duplicate PCT --garbage PCT --delay MS --wrong-port
  --scenario FILE     state changes over time (see tools/hlsim/README.md)
  --query-limit R/W   drop packets of a client address beyond R a second over W seconds
  --request-log FILE  one line per received request: seconds, client, kind, ok or dropped
  --seed N            seed of every random choice
  --quiet             no event lines on stderr
)";
}

} // namespace ondel::hlsim
