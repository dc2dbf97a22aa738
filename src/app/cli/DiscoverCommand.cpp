// ondel-cli discover: finds servers through the Steam Web API's server list and shows them,
// or adds them to a list file.
#include "CliCommand.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/VisibleText.h"
#include "curl/CurlHttpGetter.h"
#include "discover/Discovery.h"
#include "serverlist/ListFiles.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace ondel::cli {

namespace {

constexpr const char* kUsage =
    "usage: ondel-cli discover [--game DIR] [--map MAP] [--not-empty] [--not-full] [--limit N]\n"
    "                          [--json] [--save-list NAME] [--data-dir DIR]\n"
    "Finds servers through the Steam Web API with your own key (ONDEL_STEAM_API_KEY, or\n"
    "SteamApiKey in the settings file). Without --game: every Half-Life game.\n";
constexpr int kExitBadArguments = 1;
constexpr int kExitFailed = 2;

struct Options {
    DiscoverFilter filter;
    bool json = false;
    std::string saveList;
    std::string dataDir;
};

int usageError(const std::string& why) {
    std::fprintf(stderr, "ondel-cli discover: %s\n%s", why.c_str(), kUsage);
    return kExitBadArguments;
}

int failed(const std::string& why) {
    std::fprintf(stderr, "ondel-cli discover: %s\n", why.c_str());
    return kExitFailed;
}

// Returns -1 when the options are good, else the exit status.
int parseOptions(const std::vector<std::string>& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto valueOf = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string value;
        if (arg == "--json") {
            o.json = true;
        } else if (arg == "--not-empty") {
            o.filter.notEmpty = true;
        } else if (arg == "--not-full") {
            o.filter.notFull = true;
        } else if (arg == "--game") {
            if (!valueOf(o.filter.gameDir) || o.filter.gameDir.empty())
                return usageError("--game needs a game folder");
        } else if (arg == "--map") {
            if (!valueOf(o.filter.map) || o.filter.map.empty())
                return usageError("--map needs a map name");
        } else if (arg == "--limit") {
            int limit = 0;
            if (!valueOf(value) || value.empty() || value.size() > 5 ||
                value.find_first_not_of("0123456789") != std::string::npos ||
                !text::parseLeadingInt(value, limit) || limit < 1 || limit > kDiscoverMaxLimit)
                return usageError("--limit needs a number from 1 to 10000");
            o.filter.limit = limit;
        } else if (arg == "--save-list") {
            if (!valueOf(o.saveList) || o.saveList.empty() ||
                o.saveList.find('/') != std::string::npos || o.saveList == "." ||
                o.saveList == "..")
                return usageError("--save-list needs a list name (no '/')");
        } else if (arg == "--data-dir") {
            if (!valueOf(o.dataDir) || o.dataDir.empty())
                return usageError("--data-dir needs a directory");
        } else {
            return usageError("unknown argument " + text::visible(arg));
        }
    }
    if (!buildFilter(o.filter))
        return usageError("--game and --map cannot hold a backslash or a control character");
    return -1;
}

void printTable(const std::vector<SteamServer>& servers) {
    std::string out;
    for (const auto& s : servers) {
        out += text::format(
            "%-40s %-21s %-20s %3d/%-3d\n", text::cutUtf8(text::visible(s.name), 40).c_str(),
            text::visible(addressText(s.address)).c_str(),
            text::cutUtf8(text::visible(s.map), 20).c_str(), s.players, s.maxPlayers);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void printJson(const std::vector<SteamServer>& servers) {
    JsonWriter out;
    out.beginArray();
    for (const auto& s : servers) {
        out.beginObject();
        out.key("host"), out.value(s.address.host);
        out.key("port"), out.value(s.address.port);
        out.key("name"), out.value(s.name);
        out.key("map"), out.value(s.map);
        out.key("gameDir"), out.value(s.gameDir);
        out.key("players"), out.value(s.players);
        out.key("maxPlayers"), out.value(s.maxPlayers);
        out.key("bots"), out.value(s.bots);
        out.key("secure"), out.value(s.secure);
        out.key("dedicated"), out.value(s.dedicated);
        out.key("os"), out.value(s.os);
        out.key("version"), out.value(s.version);
        out.endObject();
    }
    out.endArray();
    std::fwrite(out.text().data(), 1, out.text().size(), stdout);
    std::fputc('\n', stdout);
}

// The window's data folder: $XDG_DATA_HOME/Ondel or ~/.local/share/Ondel, made readable by the
// user only when missing (lists may hold passwords). Empty without a home folder (then the
// current directory is used).
std::string defaultDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (xdg && xdg[0] == '/')
        base = xdg;
    else if (home && *home)
        base = std::string(home) + "/.local/share";
    if (base.empty())
        return {};
    std::error_code error;
    std::filesystem::create_directories(base, error);
    const std::string dir = base + "/Ondel";
    ::mkdir(dir.c_str(), 0700); // an existing folder keeps its mode
    return dir;
}

// Adds the servers to list name in dataDir (created when missing). A file that cannot be read
// completely is left alone: writing would lose what it holds.
int saveToList(const Options& o, const std::vector<SteamServer>& servers) {
    std::string dir = o.dataDir.empty() ? defaultDataFolder() : o.dataDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    std::string path = dir + o.saveList + ".sl06";
    std::string shown = text::visible(path);
    ListFileRead read = readListFile(path);
    ServerListSet set;
    if (read.status == ListFileStatus::Unreadable)
        return failed(shown + " cannot be read (" + read.problem +
                      "); it is left as it is and nothing was saved");
    if (read.status == ListFileStatus::Missing)
        set.append(ServerList(path, path, o.saveList));
    else if (!addList(set, path, std::nullopt, o.saveList, false))
        return failed(shown + " cannot be read; nothing was saved");
    ServerList& list = set.at(0);
    std::size_t added = addNewServers(list, servers);
    if (!writeList(list, path))
        return failed("cannot write " + shown + "; the previous file is unchanged");
    std::fprintf(stderr, "ondel-cli discover: %zu new of %zu servers added to %s (%zu in all)\n",
                 added, servers.size(), shown.c_str(), list.size());
    return 0;
}

int runDiscover(const std::vector<std::string>& args) {
    Options o;
    if (int status = parseOptions(args, o); status >= 0)
        return status;

    std::string settingsPath = settingsFilePath(
        std::getenv("ONDEL_SETTINGS"), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    std::string stored;
    std::string storedUrl;
    if (!settingsPath.empty()) {
        stored = readIniFileValue(settingsPath, settings::kSteamApiKey.subkey,
                                  settings::kSteamApiKey.name)
                     .value_or("");
        storedUrl = readIniFileValue(settingsPath, settings::kSteamApiUrl.subkey,
                                     settings::kSteamApiUrl.name)
                        .value_or("");
    }
    std::string key = effectiveApiKey(std::getenv("ONDEL_STEAM_API_KEY"), stored);
    if (key.empty())
        return failed(
            noKeyMessage(settingsPath.empty() ? "the settings file" : text::visible(settingsPath)));

    CurlHttpGetter http;
    DiscoverResult result = discoverServers(
        http, effectiveApiBase(std::getenv("ONDEL_STEAM_API_URL"), storedUrl), key, o.filter);
    if (!result.ok())
        return failed(result.message);

    if (o.json)
        printJson(result.servers);
    else
        printTable(result.servers);
    if (!writeOutput())
        return kExitFailed;
    if (!o.json)
        std::fprintf(stderr, "%zu servers found, %zu left out (unusable or repeated address)\n",
                     result.servers.size(), result.dropped);
    if (!o.saveList.empty())
        return saveToList(o, result.servers);
    return 0;
}

const CliCommand
    discoverCommand("discover",
                    "discover [--game DIR] [--map MAP] [--not-empty] [--not-full] [--limit N] "
                    "[--json] [--save-list NAME] [--data-dir DIR]   find servers (Steam Web API)",
                    &runDiscover);

} // namespace

} // namespace ondel::cli
