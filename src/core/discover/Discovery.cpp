#include "Discovery.h"

#include "common/Text.h"

#include <algorithm>
#include <unordered_set>

namespace ondel {

namespace {

std::string trimmed(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

void replaceAll(std::string& text, const std::string& what, const std::string& with) {
    if (what.empty())
        return;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

DiscoverResult failure(DiscoverStatus status, std::string message) {
    DiscoverResult r;
    r.status = status;
    r.message = std::move(message);
    return r;
}

} // namespace

std::string effectiveApiKey(const char* keyFromEnvironment, const std::string& storedKey) {
    if (keyFromEnvironment && !trimmed(keyFromEnvironment).empty())
        return trimmed(keyFromEnvironment);
    return trimmed(storedKey);
}

std::string effectiveApiBase(const char* urlFromEnvironment, const std::string& storedUrl) {
    std::string base = urlFromEnvironment ? trimmed(urlFromEnvironment) : std::string();
    if (base.empty())
        base = trimmed(storedUrl);
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base.empty() ? std::string(kSteamApiDefaultBase) : base;
}

std::string redactSecret(std::string text, const std::string& secret) {
    replaceAll(text, secret, "***");
    replaceAll(text, percentEncode(secret), "***");
    return text;
}

std::string noKeyMessage(const std::string& settingsLocation) {
    return text::format(
        "No Steam Web API key is set. Get your own key at %s (sign in with your Steam account; "
        "any domain name will do), then set it in the environment variable ONDEL_STEAM_API_KEY, "
        "or as SteamApiKey=KEY in the [Settings] group of %s (the window's Find Servers dialog "
        "saves it there).",
        kSteamApiKeyPage, settingsLocation.c_str());
}

DiscoverResult discoverServers(HttpGetter& http, const std::string& base, const std::string& key,
                               const DiscoverFilter& filter) {
    if (key.empty())
        return failure(DiscoverStatus::NoKey, noKeyMessage("the settings file"));
    if (!buildFilter(filter))
        return failure(DiscoverStatus::BadRequest,
                       "The game folder and the map cannot hold a backslash or a control "
                       "character.");
    std::string url = serverListUrl(base, key, filter);
    if (url.empty())
        return failure(DiscoverStatus::BadRequest,
                       "The Steam Web API address must be an http:// or https:// URL: " +
                           redactSecret(text::toDisplayUtf8(base), key));

    HttpGetResult got = http.get(url, kMaxServerListReplyBytes);
    if (!got.answered)
        return failure(DiscoverStatus::NetworkError,
                       "Cannot reach the Steam Web API: " +
                           redactSecret(got.error.empty() ? "no answer" : got.error, key));
    switch (got.status) {
    case 200:
        break;
    case 401:
    case 403:
        return failure(DiscoverStatus::KeyRefused,
                       text::format("The Steam Web API refused the key (HTTP %d). Check it, or "
                                    "make a new one, at %s.",
                                    got.status, kSteamApiKeyPage));
    case 429:
        return failure(DiscoverStatus::TooManyCalls,
                       "The Steam Web API says there were too many calls (HTTP 429). Wait a "
                       "while before searching again; a key allows 100,000 calls a day.");
    default:
        return failure(DiscoverStatus::HttpError,
                       text::format("The Steam Web API answered with HTTP status %d.", got.status));
    }
    if (got.tooLarge)
        return failure(DiscoverStatus::BadReply,
                       "The Steam Web API's reply is larger than 16 MiB; ask for fewer servers.");

    SteamServerListReply reply = parseServerListReply(got.body);
    if (!reply.ok)
        return failure(DiscoverStatus::BadReply, "The Steam Web API's reply cannot be used: " +
                                                     redactSecret(reply.error, key) + ".");
    DiscoverResult result;
    result.servers = std::move(reply.servers);
    result.dropped = reply.dropped;
    return result;
}

ServerEntry entryForServer(const SteamServer& server) {
    ServerEntry entry;
    entry.address = server.address;
    entry.hostName = server.name;
    entry.map = server.map;
    entry.gameDir = server.gameDir;
    entry.players = static_cast<std::uint8_t>(std::clamp(server.players, 0, 255));
    entry.maxPlayers = static_cast<std::uint8_t>(std::clamp(server.maxPlayers, 0, 255));
    if (server.os.size() == 1)
        entry.os = static_cast<std::uint8_t>(server.os[0]);
    entry.serverType = server.dedicated ? 'd' : 'l';
    return entry;
}

std::size_t addNewServers(ServerList& list, const std::vector<SteamServer>& servers) {
    std::unordered_set<std::string> known;
    for (const auto& entry : list.entries())
        known.insert(addressText(entry.address));
    std::size_t added = 0;
    for (const auto& server : servers) {
        if (!known.insert(addressText(server.address)).second)
            continue;
        list.appendEntry(entryForServer(server));
        ++added;
    }
    return added;
}

} // namespace ondel
