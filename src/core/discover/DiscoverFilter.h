#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ondel {

// What the user asks the Steam server list for. gameDir empty means every Half-Life game.
struct DiscoverFilter {
    std::string gameDir;
    std::string map;
    bool notEmpty = false;
    bool notFull = false;
    int limit = 100;
    // Further conditions in the filter's own syntax (\secure\1\nor\1\linux\1), appended
    // as they are: the search that splits a full reply writes them, never the user.
    std::string extraConditions = {};
};

inline constexpr int kDiscoverDefaultLimit = 100;
// The most servers one search gathers (over as many requests as it takes).
inline constexpr int kDiscoverMaxLimit = 100000;
// The most servers the Web API returns for one request; it has no paging.
inline constexpr int kServerListCap = 10000;
inline constexpr const char* kSteamApiDefaultBase = "https://api.steampowered.com";
inline constexpr const char* kSteamApiKeyPage = "https://steamcommunity.com/dev/apikey";
inline constexpr const char* kServerListPath = "/IGameServersService/GetServerList/v1/";

// One game of the engine: its folder and the Steam app id it runs under.
struct GameApp {
    const char* gameDir;
    const char* title;
    int appId;
};

// The games with an app id of their own, in menu order.
inline constexpr GameApp kGameApps[] = {
    {"cstrike", "Counter-Strike", 10},
    {"tfc", "Team Fortress Classic", 20},
    {"dod", "Day of Defeat", 30},
    {"dmc", "Deathmatch Classic", 40},
    {"gearbox", "Opposing Force", 50},
    {"ricochet", "Ricochet", 60},
    {"valve", "Half-Life", 70},
    {"czero", "Condition Zero", 80},
    {"czeror", "Condition Zero Deleted Scenes", 100},
    {"bshift", "Blue Shift", 130},
};

// The app id a game folder runs under: its own for the games above (folder compared without
// regard to ASCII case), 70 for any other mod.
int appIdForGame(std::string_view gameDir);

// The master-server filter text: the game (its app id; Half-Life and other mods as
// \appid\70\gamedir\DIR; every game above when gameDir is empty), then \map\, \empty\1 and \full\1
// as asked. Empty optional when a text holds a character the filter cannot carry (a backslash or a
// control character): it would smuggle further conditions in.
std::optional<std::string> buildFilter(const DiscoverFilter& filter);

// Whether text can stand as a filter value: no backslash, no control character.
bool isCarriableFilterText(std::string_view text);

// Percent-encodes every byte but the unreserved ones (A-Z a-z 0-9 - . _ ~).
std::string percentEncode(std::string_view bytes);

// The request URL: base (trailing slashes dropped) + the service path + key, filter and limit
// (clamped to 1..kServerListCap). Empty when base is not an http or https URL or the filter is
// refused. The URL holds the key: never show or log it (see redactSecret).
std::string serverListUrl(std::string_view base, const std::string& key,
                          const DiscoverFilter& filter);

} // namespace ondel
