#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ondel::hlsim {

// Which requests a simulated server answers: the old text queries ("details", "rules",
// "players"), the Steam queries (A2S_INFO, A2S_PLAYER, A2S_RULES), or both. Every dialect
// answers "ping" and RCON.
enum class Dialect { Legacy, Steam, Both };

// The simulator's command line, parsed and checked. Plain value object.
struct HlsimOptions {
    int port = 27015; // 0: a free port chosen by the system
    int count = 1;    // servers on consecutive ports
    std::string bindAddress = "127.0.0.1";

    std::string name = "Ondel Test Server";
    std::string map = "crossfire";
    std::string gameDir = "valve";
    std::string gameDesc = "Half-Life";
    int players = 0;
    int maxPlayers = 0; // 0: max(16, players)
    int bots = 0;       // how many of the players are bots
    // Seconds every generated player has been connected at the start, all the same (the look
    // of a fake server farm); -1: each a random time from 30 s to an hour.
    int playerTime = -1;
    std::vector<std::pair<std::string, std::string>> rules;
    int rulesExtra = 0;
    bool password = false;
    bool mod = false;
    bool secure = false;
    char os = 'l';
    char type = 'd';
    std::string version = "1.1.2.7/Stdio";
    bool infoExtra = false; // Steam info reply with steam id, keywords and game id fields

    int lossPercent = 0;
    int delayMs = 0;
    int duplicatePercent = 0;
    bool wrongPort = false;
    int garbagePercent = 0;

    std::string scenarioPath;
    std::string rconPassword;
    bool oldRcon = false;
    bool rconEndless = false; // after an RCON command, print lines to its sender without end

    Dialect dialect = Dialect::Legacy;
    // Shares of the --count servers (in ten-thousandths) that speak only the Steam dialect, or
    // never answer anything; which ones is fixed by their number, spread evenly over the range.
    int steamOnlyShare = 0;
    int deadShare = 0;
    bool silent = false; // this server never answers (set by forServer)
    int splitSize = 1400;
    bool infoChallenge = false;
    bool infoBoth = false;
    bool cutFirst = false; // every query reply goes out cut to 12 bytes first, then whole

    // --query-limit RATE/WINDOW: packets a second averaged over WINDOW seconds per client
    // address (0: no limit). --request-log FILE: one line per received request.
    double queryLimitRate = 0.0;
    double queryLimitWindow = 60.0;
    std::string requestLogPath;

    std::optional<std::uint32_t> seed;
    bool quiet = false;
    bool help = false;

    // Parses argv[1..]; on failure returns nothing and sets error to a one-line message.
    static std::optional<HlsimOptions> parse(const std::vector<std::string>& args,
                                             std::string& error);
    static std::string usage();

    int effectiveMaxPlayers() const;

    // The options of server number index (0-based) of the --count servers: silent when it is
    // one of the dead share, Steam dialect only when it is one of the Steam-only share.
    HlsimOptions forServer(int index) const;
};

} // namespace ondel::hlsim
