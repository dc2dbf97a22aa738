// ondel-cli history HOST:PORT [--since DURATION] [--data-dir DIR] [--json|--csv]: the samples
// of one server that history.sqlite in the data folder holds, oldest first.
#include "CliCommand.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "history/HistorySamples.h"
#include "serverlist/ServerAddress.h"
#include "sqlite/SqliteHistoryStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace ondel::cli {

namespace {

constexpr const char* kUsage =
    "usage: ondel-cli history HOST:PORT [--since DURATION] [--data-dir DIR] [--json|--csv]\n"
    "  DURATION: a number with s, m, h, d or w (seconds without); default: all that is kept\n";

int usageError(const std::string& why) {
    std::fprintf(stderr, "ondel-cli history: %s\n%s", why.c_str(), kUsage);
    return 1;
}

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

// The data folder as the window and the other commands find it; nothing is made here.
std::string dataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/Ondel";
    if (home && *home)
        return std::string(home) + "/.local/share/Ondel";
    return ".";
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

int runHistory(const std::vector<std::string>& args) {
    std::string server, dir;
    std::int64_t sinceMs = std::numeric_limits<std::int64_t>::min();
    enum class Format { Text, Json, Csv } format = Format::Text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json" || arg == "--csv") {
            if (format != Format::Text)
                return usageError("--json and --csv exclude each other");
            format = arg == "--json" ? Format::Json : Format::Csv;
        } else if (arg == "--since" || arg == "--data-dir") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return usageError(arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--data-dir") {
                dir = value;
                continue;
            }
            auto span = parseDuration(value);
            if (!span)
                return usageError("'" + shown(value) + "' is not a duration");
            const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
            sinceMs = now - *span;
        } else if (server.empty() && !arg.empty() && arg[0] != '-') {
            server = arg;
        } else {
            return usageError("unexpected '" + shown(arg) + "'");
        }
    }
    if (server.empty())
        return usageError("which server?");
    const ServerAddress address = parseAddress(server);
    if (address.empty())
        return usageError("'" + shown(server) + "' is not HOST:PORT");

    if (dir.empty())
        dir = dataFolder();
    const std::string path = (std::filesystem::path(dir) / SqliteHistoryStore::kFileName).string();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        std::fprintf(stderr, "ondel-cli history: no history in %s\n", shown(dir).c_str());
        return 1;
    }
    SqliteHistoryStore store(path);
    const auto samples =
        store.samples(historyKey(address), sinceMs, std::numeric_limits<std::int64_t>::max());
    if (!store.lastError().empty()) {
        std::fprintf(stderr, "ondel-cli history: %s\n", shown(store.lastError()).c_str());
        return 1;
    }
    switch (format) {
    case Format::Json:
        return writeOutput(asJson(samples)) ? 0 : 1;
    case Format::Csv:
        return writeOutput(asCsv(samples)) ? 0 : 1;
    case Format::Text:
        break;
    }
    return writeOutput(asText(samples)) ? 0 : 1;
}

const CliCommand historyCommand(
    "history",
    "history HOST:PORT [--since DURATION] [--data-dir DIR] [--json|--csv]   a server's samples",
    &runHistory);

} // namespace

} // namespace ondel::cli
