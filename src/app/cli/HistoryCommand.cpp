// ondel-cli history HOST:PORT [--since DURATION] [--data-dir DIR] [--json|--csv]: the samples
// of one server that history.sqlite in the data folder holds, oldest first.
#include "CliCommand.h"
#include "ServerInputs.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "history/HistorySamples.h"
#include "serverlist/ServerAddress.h"
#include "settings/UserPaths.h"
#include "sqlite/SqliteHistoryStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace ondel::cli {

namespace {

const CommandSyntax kSyntax{
    .name = "history",
    .operands = "HOST:PORT",
    .summary = "a server's recorded samples, oldest first",
    .options = {{"--since", "DURATION",
                 "only the last DURATION: a number with s, m, h, d or w (seconds without)"},
                {"--data-dir", "DIR", "the data folder that holds history.sqlite"},
                {"--json", "", "print one JSON array"},
                {"--csv", "", "print CSV with a header line"}},
    .minOperands = 1,
    .maxOperands = 1,
    .missingOperand = "no server given",
};

// "90", "90s", "15m", "2h", "7d", "1w" in milliseconds; nullopt for anything else.
std::optional<std::int64_t> parseDuration(const std::string& text) {
    std::size_t digits = text.find_first_not_of("0123456789");
    if (digits == 0 || text.empty() || (digits != std::string::npos && digits + 1 != text.size()))
        return std::nullopt;
    if ((digits == std::string::npos ? text.size() : digits) > 9)
        return std::nullopt;
    std::int64_t value = std::atoll(text.c_str());
    std::int64_t unit = 1000;
    switch (digits == std::string::npos ? 's' : text.back()) {
    case 's':
        break;
    case 'm':
        unit *= 60;
        break;
    case 'h':
        unit *= 3600;
        break;
    case 'd':
        unit *= 86400;
        break;
    case 'w':
        unit *= 7 * 86400;
        break;
    default:
        return std::nullopt;
    }
    return value * unit;
}

std::string csvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"") == std::string::npos)
        return utf8;
    std::string out = "\"";
    for (char c : utf8) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + '"';
}

std::string optionalNumber(int value) {
    return value < 0 ? std::string() : std::to_string(value);
}

std::string asJson(const std::vector<HistorySample>& samples) {
    JsonWriter out;
    out.beginArray();
    for (const HistorySample& s : samples) {
        out.beginObject();
        out.key("time"), out.value(isoTimeUtc(s.timeMs));
        out.key("up"), out.value(s.up);
        const auto number = [&](const char* key, int value, bool known) {
            out.key(key);
            if (known)
                out.value(value);
            else
                out.null();
        };
        number("players", s.players, s.up);
        number("bots", s.bots, s.up && s.bots >= 0);
        number("maxPlayers", s.maxPlayers, s.up);
        out.key("map");
        if (s.up)
            out.value(s.map);
        else
            out.null();
        number("pingMs", s.pingMs, s.up && s.pingMs >= 0);
        out.endObject();
    }
    out.endArray();
    return out.text() + '\n';
}

std::string asCsv(const std::vector<HistorySample>& samples) {
    std::string out = "time,up,players,bots,maxPlayers,map,pingMs\n";
    for (const HistorySample& s : samples) {
        out += isoTimeUtc(s.timeMs);
        if (s.up)
            out += ",true," + std::to_string(s.players) + ',' + optionalNumber(s.bots) + ',' +
                   std::to_string(s.maxPlayers) + ',' + csvField(shown(s.map)) + ',' +
                   optionalNumber(s.pingMs) + '\n';
        else
            out += ",false,,,,,\n";
    }
    return out;
}

std::string asText(const std::vector<HistorySample>& samples) {
    std::string out;
    for (const HistorySample& s : samples) {
        out += isoTimeUtc(s.timeMs);
        if (!s.up) {
            out += "  down\n";
            continue;
        }
        out += text::format("  up    %3d/%-3d", s.players, s.maxPlayers);
        out += s.bots >= 0 ? text::format("  %2d bots", s.bots) : std::string("         ");
        out += s.pingMs >= 0 ? text::format("  %4d ms", s.pingMs) : std::string("         ");
        out += "  " + shown(s.map) + '\n';
    }
    return out;
}

int runHistory(const Arguments& args) {
    if (args.has("--json") && args.has("--csv"))
        return usageError(kSyntax, "--json and --csv exclude each other");
    std::int64_t sinceMs = std::numeric_limits<std::int64_t>::min();
    if (args.has("--since")) {
        auto span = parseDuration(args.text("--since"));
        if (!span)
            return usageError(kSyntax, "'" + shown(args.text("--since")) + "' is not a duration");
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
        sinceMs = now - *span;
    }
    const std::string& server = args.operands().front();
    const ServerAddress address = parseAddress(server);
    if (address.empty())
        return usageError(kSyntax, "'" + shown(server) + "' is not HOST:PORT");
    std::string dir = args.text("--data-dir");
    if (dir.empty())
        dir = userDataFolder();
    const std::string path = (std::filesystem::path(dir) / SqliteHistoryStore::kFileName).string();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        return failure(kSyntax, "no history in " + shown(dir));
    }
    SqliteHistoryStore store(path);
    const auto samples =
        store.samples(historyKey(address), sinceMs, std::numeric_limits<std::int64_t>::max());
    if (!store.lastError().empty()) {
        return failure(kSyntax, shown(store.lastError()));
    }
    const std::string out = args.has("--json")  ? asJson(samples)
                            : args.has("--csv") ? asCsv(samples)
                                                : asText(samples);
    return writeOutput(out) ? kExitOk : kExitFailed;
}

const CliCommand historyCommand(kSyntax, &runHistory);

} // namespace

} // namespace ondel::cli
