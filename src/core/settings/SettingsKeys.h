#pragma once

#include "settings/SettingsStore.h"

#include <cstdint>
#include <string>

namespace ondel::settings {

// Every value the program keeps in the SettingsStore, with its subkey and its default. Callers
// read and write through these so that a name or a default is spelled in one place only.

inline constexpr const char* kSettings = "Settings";
inline constexpr const char* kMasterServer = "Master Server";
inline constexpr const char* kAlerts = "Alerts";

struct IntValue {
    const char* subkey;
    const char* name;
    std::int32_t def;
};

struct TextValue {
    const char* subkey;
    const char* name;
    const char* def;
};

// Directory of the Half-Life installation (launch settings dialog).
inline constexpr TextValue kHlDir{kSettings, "HLDir", ""};
// Extra command-line parameters for the game client.
inline constexpr TextValue kParameters{kSettings, "Parameters", "-console"};
// 1 when the program ends right after starting the game.
inline constexpr IntValue kConnectionExit{kSettings, "ConnectionExit", 0};
// How the game is started: "direct" (the client in HLDir) or "steam" (steam -applaunch). Missing
// on a first start: readLaunchSettings then looks for Steam.
inline constexpr TextValue kLaunchMethod{kSettings, "LaunchMethod", "direct"};
// The Steam program started for "steam": a name looked up in PATH, or a path.
inline constexpr TextValue kSteamCommand{kSettings, "SteamCommand", "steam"};
// The list (its file path) and the server (its address) the monitor showed when it was last
// closed; the next start shows them again, each when it still exists.
inline constexpr TextValue kMonitorList{kSettings, "MonitorList", ""};
inline constexpr TextValue kMonitorServer{kSettings, "MonitorServer", ""};
// Server selector order: 0 unsorted, 1 name, 2 address, 3 game + name, 4 game + address.
inline constexpr IntValue kServerListSortType{kSettings, "ServerListSortType", 0};
// The browser's auto-refresh interval in seconds: 0 (off), 30, 60 or 300.
inline constexpr IntValue kBrowserAutoRefresh{kSettings, "BrowserAutoRefresh", 0};
// 1: the browser shows the selected server's details, players and rules under its table.
inline constexpr IntValue kBrowserDetailsShown{kSettings, "BrowserDetailsShown", 1};
// The sizes of the browser's table and details pane (the splitter's state, in base64).
inline constexpr TextValue kBrowserSplitter{kSettings, "BrowserSplitter", ""};
// The browser table's columns as "WIDTHS;ORDER;SORT": each column's width, the columns from the
// left, the sort column (-1: none) and order (1: descending).
inline constexpr TextValue kBrowserHeader{kSettings, "BrowserHeader", ""};
// Player names the browser watches for, one per line (see watchListFromText).
inline constexpr TextValue kWatchedPlayers{kSettings, "WatchedPlayers", ""};
// 1: a tray icon shows the monitored server's players and slots.
inline constexpr IntValue kTrayIcon{kSettings, "TrayIcon", 0};
// The user's own Steam Web API key for finding servers. Private: never shown in a log, an error
// or a trace. The environment variable ONDEL_STEAM_API_KEY overrides it.
inline constexpr TextValue kSteamApiKey{kSettings, "SteamApiKey", ""};
// Where the server list is asked instead of the public Steam Web API (a mirror); empty for the
// public one. The environment variable ONDEL_STEAM_API_URL overrides it.
inline constexpr TextValue kSteamApiUrl{kSettings, "SteamApiUrl", ""};
// The country database (MaxMind format) to use; empty: looked for in the usual places. The
// environment variable ONDEL_GEOIP_DB overrides it.
inline constexpr TextValue kGeoIpDatabase{kSettings, "GeoIpDatabase", ""};
// Hours that every sample of the history is kept as it was taken, before it is folded into
// five-minute rows.
inline constexpr IntValue kHistoryRawHours{kSettings, "HistoryRawHours", 48};
// Days that the five-minute rows and the map changes of the history are kept.
inline constexpr IntValue kHistoryDays{kSettings, "HistoryDays", 90};
// Where every alert of the window program also goes: an http(s) address the alert is posted to
// as JSON, and a command run per alert. The rules per list and per server are values of the
// same subkey (see readListAlerts).
inline constexpr TextValue kAlertWebhook{kAlerts, "Webhook", ""};
inline constexpr TextValue kAlertCommand{kAlerts, "Command", ""};
// User id assigned by the master server; 0 means none yet.
inline constexpr IntValue kMasterId{kMasterServer, "ID", 0};
// Per master message number: non-zero once "Don't show again" was ticked. The value name is
// built by messageValueName.
inline constexpr const char* kMessageNameFormat = "MSG%05d";
inline constexpr std::int32_t kMessageHiddenDefault = 0;

// "MSG" and the message number in at least five digits with leading zeros (7 -> "MSG00007").
std::string messageValueName(std::int32_t messageNumber);

inline std::int32_t read(const SettingsStore& store, const IntValue& v) {
    return store.readInt(v.subkey, v.name, v.def);
}
inline std::string read(const SettingsStore& store, const TextValue& v) {
    return store.readString(v.subkey, v.name, v.def);
}
inline bool write(SettingsStore& store, const IntValue& v, std::int32_t value) {
    return store.writeInt(v.subkey, v.name, value);
}
inline bool write(SettingsStore& store, const TextValue& v, const std::string& value) {
    return store.writeString(v.subkey, v.name, value);
}

// Whether master message messageNumber was marked "Don't show again".
inline bool isMessageHidden(const SettingsStore& store, std::int32_t messageNumber) {
    return store.readInt(kMasterServer, messageValueName(messageNumber), kMessageHiddenDefault) !=
           0;
}

} // namespace ondel::settings
