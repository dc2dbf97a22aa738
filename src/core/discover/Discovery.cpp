#include "Discovery.h"

#include "common/Text.h"

#include <algorithm>
#include <deque>
#include <map>
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

namespace {

// One part of a split search: the conditions that make it, beyond the user's.
struct SearchPart {
    std::string positive;             // conditions every server of the part meets
    std::vector<std::string> negated; // conditions no server of the part meets (one \nor group)
    std::size_t nextFlag = 0;         // the first flag condition not used to split it yet
    bool mapFixed = false;            // a \map\ condition is among the positive ones

    std::string conditions() const {
        std::string out = positive;
        if (!negated.empty()) {
            out += "\\nor\\" + std::to_string(negated.size());
            for (const auto& c : negated)
                out += c;
        }
        return out;
    }
};

std::vector<std::string> flagConditions(const DiscoverFilter& filter) {
    std::vector<std::string> flags = {"\\secure\\1", "\\linux\\1", "\\dedicated\\1",
                                      "\\password\\0"};
    if (!filter.notEmpty)
        flags.push_back("\\empty\\1");
    if (!filter.notFull)
        flags.push_back("\\full\\1");
    return flags;
}

// The map most servers of a full reply run that the part does not exclude yet; empty if none.
std::string commonMap(const std::vector<SteamServer>& servers, const SearchPart& part) {
    std::map<std::string, std::size_t> counts;
    for (const auto& s : servers)
        if (!s.map.empty() && isCarriableFilterText(s.map))
            ++counts[s.map];
    std::string best;
    std::size_t bestCount = 0;
    for (const auto& [map, count] : counts) {
        const std::string condition = "\\map\\" + map;
        if (count > bestCount &&
            std::find(part.negated.begin(), part.negated.end(), condition) == part.negated.end()) {
            best = map;
            bestCount = count;
        }
    }
    return best;
}

} // namespace

DiscoverResult discoverAllServers(HttpGetter& http, const std::string& base, const std::string& key,
                                  const DiscoverFilter& filter, const DiscoverPacing& pacing) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::clamp(filter.limit, 1, kDiscoverMaxLimit));
    const std::vector<std::string> flags = flagConditions(filter);
    DiscoverResult result;
    std::unordered_set<std::string> seen;
    std::deque<SearchPart> parts(1);
    parts.front().mapFixed = !filter.map.empty();

    while (!parts.empty() && result.servers.size() < wanted) {
        SearchPart part = std::move(parts.front());
        parts.pop_front();
        if (result.requests > 0 && pacing.wait)
            pacing.wait(pacing.intervalMs);
        DiscoverFilter asked = filter;
        asked.limit = static_cast<int>(std::min<std::size_t>(wanted, kServerListCap));
        asked.extraConditions = filter.extraConditions + part.conditions();
        DiscoverResult got = discoverServers(http, base, key, asked);
        ++result.requests;
        if (!got.ok()) {
            got.servers = std::move(result.servers);
            got.dropped = result.dropped;
            got.requests = result.requests;
            got.fullParts = result.fullParts;
            return got;
        }
        // Copied, not moved: a split below still reads the maps of this reply.
        for (const auto& server : got.servers) {
            if (seen.insert(addressText(server.address)).second)
                result.servers.push_back(server);
            else
                ++result.dropped;
        }
        result.dropped += got.dropped;

        // Full: more servers match than one reply holds. Split it unless the servers that
        // came are all that was wanted.
        const std::size_t entries = got.servers.size() + got.dropped;
        if (entries >= static_cast<std::size_t>(asked.limit) && wanted > kServerListCap) {
            SearchPart with = part;
            SearchPart without = part;
            if (part.nextFlag < flags.size()) {
                with.positive += flags[part.nextFlag];
                without.negated.push_back(flags[part.nextFlag]);
                with.nextFlag = without.nextFlag = part.nextFlag + 1;
                parts.push_front(std::move(without));
                parts.push_front(std::move(with));
            } else if (std::string map = part.mapFixed ? "" : commonMap(got.servers, part);
                       !map.empty()) {
                with.positive += "\\map\\" + map;
                with.mapFixed = true;
                without.negated.push_back("\\map\\" + map);
                parts.push_front(std::move(without));
                parts.push_front(std::move(with));
            } else {
                ++result.fullParts;
            }
        }
        if (pacing.progress &&
            !pacing.progress(result.requests, result.servers.size(), parts.size()))
            break;
    }
    if (result.servers.size() > wanted)
        result.servers.resize(wanted);
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
