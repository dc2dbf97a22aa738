// ondel-cli discover: finds servers through the Steam Web API's server list and shows them,
// or adds them to a list file.
#include "CliCommand.h"
#include "CliData.h"

#include "common/JsonWriter.h"
#include "common/TerminalColumns.h"
#include "common/Text.h"
#include "common/VisibleText.h"
#include "curl/CurlHttpGetter.h"
#include "discover/Discovery.h"
#include "platform/posix/DataFolderLock.h"
#include "serverlist/ListFiles.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"
#include "settings/UserPaths.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>

#include <sys/stat.h>

namespace ondel::cli {

namespace {

const CommandSyntax kSyntax{
    .name = "discover",
    .summary = "find servers (Steam Web API)",
    .options = {{"--game", "DIR", "only servers of this game folder", 1, 0, "a game folder"},
                {"--map", "MAP", "only servers running this map", 1, 0, "a map name"},
                {"--not-empty", "", "leave out empty servers"},
                {"--not-full", "", "leave out full servers"},
                {"--limit", "N", "at most N servers", 1, kDiscoverMaxLimit},
                {"--json", "", "print one JSON array"},
                {"--save-list", "NAME", "also add the new servers to the list NAME.sl06", 1, 0,
                 "a list name (no '/')"},
                {"--data-dir", "DIR", "where that list is (default: the data folder)", 1, 0,
                 "a directory"}},
    .maxOperands = 0,
    .moreHelp = "Finds servers through the Steam Web API with your own key (ONDEL_STEAM_API_KEY, "
                "or\nSteamApiKey in the settings file). Without --game: every Half-Life game.\n",
};

struct Options {
    DiscoverFilter filter;
    bool json = false;
    std::string saveList;
    std::string dataDir;
};

int failed(const std::string& why) {
    return failure(kSyntax, why);
}

// Reads the options into o; returns the exit status when they are not usable.
std::optional<int> readOptions(const Arguments& args, Options& o) {
    o.json = args.has("--json");
    o.filter.notEmpty = args.has("--not-empty");
    o.filter.notFull = args.has("--not-full");
    o.filter.gameDir = args.text("--game");
    o.filter.map = args.text("--map");
    if (args.has("--limit"))
        o.filter.limit = static_cast<int>(args.number("--limit", 0));
    o.saveList = args.text("--save-list");
    o.dataDir = args.text("--data-dir");
    if (o.saveList.find('/') != std::string::npos || o.saveList == "." || o.saveList == "..")
        return usageError(kSyntax, "--save-list needs a list name (no '/')");
    if (!buildFilter(o.filter))
        return usageError(kSyntax,
                          "--game and --map cannot hold a backslash or a control character");
    return std::nullopt;
}

void printTable(const std::vector<SteamServer>& servers) {
    std::string out;
    for (const auto& s : servers) {
        out += text::fitColumn(text::visible(s.name), 40) + " " +
               text::fitColumn(text::visible(addressText(s.address)), 21) + " " +
               text::fitColumn(text::visible(s.map), 20) + " " +
               text::format("%3d/%-3d\n", s.players, s.maxPlayers);
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

// The window's data folder, made readable by the user only when missing (lists may hold
// passwords). Empty without a home folder (then the current directory is used).
std::string defaultDataFolder() {
    const std::string dir = userDataFolder();
    if (dir.empty())
        return {};
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(dir).parent_path(), error);
    ::mkdir(dir.c_str(), 0700); // an existing folder keeps its mode
    return dir;
}

// Adds the servers to list name in dataDir (created when missing). A file that cannot be read
// completely is left alone: writing would lose what it holds.
int saveToList(const Options& o, const std::string& dir, const std::vector<SteamServer>& servers) {
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

int runDiscover(const Arguments& args) {
    Options o;
    if (auto status = readOptions(args, o))
        return *status;

    const std::string settingsPath = settingsFilePath();
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

    // The window writes the lists of its data folder as they change; a list written beside it
    // would be overwritten by the window's copy, or overwrite it. So the folder is taken for the
    // whole run, before the Web API is asked, and refused while the window holds it.
    std::string dir;
    std::optional<DataFolderLock> lock;
    if (!o.saveList.empty()) {
        dir = o.dataDir.empty() ? defaultDataFolder() : o.dataDir;
        if (!dir.empty() && dir.back() != '/')
            dir += '/';
        lock.emplace(dir.empty() ? std::string("./") : dir);
        if (lock->state() == DataFolderLock::State::HeldByOther)
            return failed("the Ondel window is running on the data folder " +
                          text::toDisplayUtf8(dir.empty() ? std::string(".") : dir) +
                          " and writes its lists; nothing was asked or saved. Use Find Servers "
                          "in the window, or end the window and run this again");
    }

    CurlHttpGetter http;
    DiscoverPacing pacing;
    pacing.wait = [](std::uint32_t ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    pacing.progress = [](std::size_t requests, std::size_t servers, std::size_t partsLeft) {
        // A split search takes a while: say how far it is, on one line that is overwritten.
        if (requests > 1 || partsLeft > 0)
            std::fprintf(stderr, "\rondel-cli discover: %zu requests, %zu servers so far", requests,
                         servers);
        return true;
    };
    DiscoverResult result =
        discoverAllServers(http, effectiveApiBase(std::getenv("ONDEL_STEAM_API_URL"), storedUrl),
                           key, o.filter, pacing);
    if (result.requests > 1)
        std::fputc('\n', stderr);
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
    if (result.requests > 1 || !o.json)
        std::fprintf(stderr, "ondel-cli discover: %zu requests to the Web API\n", result.requests);
    if (result.fullParts > 0)
        std::fprintf(stderr,
                     "ondel-cli discover: %zu parts of the search still came back full; servers "
                     "may be missing (narrow the search with --map)\n",
                     result.fullParts);
    if (!o.saveList.empty())
        return saveToList(o, dir, result.servers);
    return 0;
}

const CliCommand discoverCommand(kSyntax, &runDiscover);

} // namespace

} // namespace ondel::cli
