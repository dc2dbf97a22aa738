#pragma once

#include "discover/DiscoverFilter.h"
#include "discover/HttpGetter.h"
#include "discover/SteamServerList.h"
#include "serverlist/ServerEntry.h"
#include "serverlist/ServerList.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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
    // Requests sent to the Web API for this search.
    std::size_t requests = 0;
    // Parts of a split search that still came back full when no condition was left to split
    // them by: servers may be missing.
    std::size_t fullParts = 0;

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

// How a search that splits full replies goes about it.
struct DiscoverPacing {
    // Pause before every request but the first (ms): the Web API is asked at most a few times a
    // second.
    std::uint32_t intervalMs = 400;
    // Waits that long; tests pass one that returns at once.
    std::function<void(std::uint32_t ms)> wait;
    // After every request: requests so far, distinct servers so far, parts still to ask. Returns
    // false to stop the search (what was found so far is the result).
    std::function<bool(std::size_t requests, std::size_t servers, std::size_t partsLeft)> progress;
};

// Finds up to filter.limit servers (at most kDiscoverMaxLimit). A reply that holds as many
// entries as were asked for (the API's cap of kServerListCap, no paging) is split in two by one
// more condition and both halves asked instead: a flag (\secure\1 against \nor\1\secure\1, then
// \linux\1, \dedicated\1, \password\0, and \empty\1, \full\1 when not asked already), then the
// most common maps of the full reply one by one (\map\M against the rest). Parts come back under
// the cap or without a condition left (counted in fullParts); servers are merged without
// repeats, in the order they came. Stops at the first failure, with its status and message.
// Blocks the calling thread for the requests and the pauses.
DiscoverResult discoverAllServers(HttpGetter& http, const std::string& base, const std::string& key,
                                  const DiscoverFilter& filter, const DiscoverPacing& pacing);

// A list entry for a server that was found: its address and what the list told about it.
ServerEntry entryForServer(const SteamServer& server);

// Adds the servers that the list does not hold yet, in their order, after the entries it has.
// Returns how many were added.
std::size_t addNewServers(ServerList& list, const std::vector<SteamServer>& servers);

} // namespace ondel
