#pragma once

#include "discover/DiscoverFilter.h"
#include "discover/HttpGetter.h"
#include "discover/SteamServerList.h"
#include "serverlist/ServerEntry.h"
#include "serverlist/ServerList.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ondel {

class SettingsStore;

// How one search of the Steam server list ended.
enum class DiscoverStatus {
    Ok,
    NoKey,        // no key configured
    BadRequest,   // the base URL or a filter text cannot be used
    KeyRefused,   // HTTP 403
    TooManyCalls, // HTTP 429
    HttpError,    // any other status but 200
    NetworkError, // no HTTP answer
    BadReply,     // not a server list (malformed, truncated, oversized)
};

struct DiscoverResult {
    DiscoverStatus status = DiscoverStatus::Ok;
    // A message for the user that says what to do; never holds the key.
    std::string message;
    std::vector<SteamServer> servers;
    std::size_t dropped = 0;

    bool ok() const { return status == DiscoverStatus::Ok; }
};

// The key in use: keyFromEnvironment (ONDEL_STEAM_API_KEY) when set and not empty, else the
// stored SteamApiKey. Leading and trailing blanks are dropped.
std::string effectiveApiKey(const char* keyFromEnvironment, const std::string& storedKey);
// The base URL in use: urlFromEnvironment (ONDEL_STEAM_API_URL) when set and not empty, else
// the stored SteamApiUrl when not empty, else the public API. Blanks around it and slashes at
// its end are dropped.
std::string effectiveApiBase(const char* urlFromEnvironment, const std::string& storedUrl = {});

// The text with every occurrence of secret (as it is and percent-encoded) replaced by "***".
std::string redactSecret(std::string text, const std::string& secret);

// The message for a missing key; settingsLocation says where the settings file is.
std::string noKeyMessage(const std::string& settingsLocation);

// Asks the server list at base with key and filter through http and reads the answer.
// Blocks the calling thread for as long as http does.
DiscoverResult discoverServers(HttpGetter& http, const std::string& base, const std::string& key,
                               const DiscoverFilter& filter);

// A list entry for a server that was found: its address and what the list told about it.
ServerEntry entryForServer(const SteamServer& server);

// Adds the servers that the list does not hold yet, in their order, after the entries it has.
// Returns how many were added.
std::size_t addNewServers(ServerList& list, const std::vector<SteamServer>& servers);

} // namespace ondel
