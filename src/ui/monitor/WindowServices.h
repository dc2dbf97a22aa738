#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ondel {

class Clock;
class CountryLookup;
class HistoryStore;
class QueryEngine;
class ScanService;
class ServerListSet;
class SettingsStore;
class SocketControl;
struct ServerAddress;

// What the monitor window and the windows it opens work with: the query service, the server
// lists, the settings store, the clock and the query socket (its port for the console, closed
// while the game runs), the folder of the list files and the scans. All of it is owned by the
// program and lives longer than every window. GUI thread only.
struct WindowServices {
    QueryEngine& engine;
    ServerListSet& lists;
    SettingsStore& settings;
    Clock& clock;
    SocketControl& socket;
    std::string dataDirectory;
    ScanService& scans;                       // scans of many servers (the browser's refresh)
    const CountryLookup* countries = nullptr; // the country database; nullptr: none
    // The blocklist entry that blocks a server (never asked), or nothing.
    std::function<std::optional<std::string>(const ServerAddress&)> blockedBy;
    HistoryStore* history = nullptr; // the servers' history (the browser's graphs); nullptr: none
};

} // namespace ondel
