#include "SteamServerList.h"

#include "common/JsonReader.h"
#include "common/Text.h"
#include "serverlist/TargetAddress.h"

#include <cmath>
#include <unordered_set>

namespace ondel {

namespace {

// Stops reading entries after this many: far beyond what the API hands out (10,000).
constexpr std::size_t kMaxEntries = 200000;
// Texts longer than this are cut: no server needs more, and a hostile reply gets no further.
constexpr std::size_t kMaxTextBytes = 1024;

std::int32_t clampCount(double v, std::int32_t max) {
    if (!(v >= 0)) // NaN and negatives
        return 0;
    if (v >= max)
        return max;
    return static_cast<std::int32_t>(v);
}

void cutText(std::string& text) {
    if (text.size() > kMaxTextBytes)
        text = text::cutUtf8(text, kMaxTextBytes);
}

struct RawServer {
    std::string addr;
    double gamePort = -1;
    SteamServer server;
};

// Reads one entry object; the reader stands at it. Members of the wrong type are skipped.
bool readEntry(JsonReader& json, RawServer& raw) {
    if (json.peek() != JsonReader::Kind::Object)
        return json.skipValue();
    json.beginObject();
    std::string key;
    SteamServer& s = raw.server;
    while (json.nextMember(key)) {
        JsonReader::Kind kind = json.peek();
        std::string* text = nullptr;
        if (key == "addr")
            text = &raw.addr;
        else if (key == "name")
            text = &s.name;
        else if (key == "map")
            text = &s.map;
        else if (key == "gamedir")
            text = &s.gameDir;
        else if (key == "version")
            text = &s.version;
        else if (key == "os")
            text = &s.os;
        if (text && kind == JsonReader::Kind::String) {
            json.readString(*text);
            cutText(*text);
            continue;
        }
        if (kind == JsonReader::Kind::Number) {
            double v = 0;
            json.readNumber(v);
            if (key == "gameport")
                raw.gamePort = v;
            else if (key == "appid")
                s.appId = clampCount(v, INT32_MAX);
            else if (key == "players")
                s.players = clampCount(v, 255);
            else if (key == "max_players")
                s.maxPlayers = clampCount(v, 255);
            else if (key == "bots")
                s.bots = clampCount(v, 255);
            continue;
        }
        if (kind == JsonReader::Kind::Bool && (key == "secure" || key == "dedicated")) {
            bool flag = false;
            json.readBool(flag);
            (key == "secure" ? s.secure : s.dedicated) = flag;
            continue;
        }
        json.skipValue();
    }
    return json.ok();
}

// Makes the address from "addr" ("a.b.c.d:port") and "gameport"; false when it is unusable.
bool settleAddress(RawServer& raw) {
    std::string_view addr = raw.addr;
    std::size_t colon = addr.rfind(':');
    std::string_view host = colon == std::string_view::npos ? addr : addr.substr(0, colon);
    int port = -1;
    if (raw.gamePort >= 1 && raw.gamePort <= 65535 && std::floor(raw.gamePort) == raw.gamePort) {
        port = static_cast<int>(raw.gamePort);
    } else if (colon != std::string_view::npos) {
        std::string_view digits = addr.substr(colon + 1);
        if (digits.empty() || digits.size() > 5)
            return false;
        port = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return false;
            port = port * 10 + (c - '0');
        }
    }
    raw.server.address = {std::string(host), port};
    normaliseDottedHost(raw.server.address.host); // "010.0.0.1" is asked and answers as 10.0.0.1
    return isUsableServerAddress(raw.server.address);
}

struct AddressHash {
    std::size_t operator()(const ServerAddress& a) const {
        return std::hash<std::string>()(a.host) ^ (static_cast<std::size_t>(a.port) << 1);
    }
};

SteamServerListReply refuse(std::string why) {
    SteamServerListReply reply;
    reply.error = std::move(why);
    return reply;
}

} // namespace

bool isUsableServerAddress(const ServerAddress& address) {
    const std::optional<std::uint32_t> quad = dottedQuadValue(address.host);
    if (!quad)
        return false;
    if (address.port < 1 || address.port > 65535)
        return false;
    if (!targetRefusal(address).empty())
        return false; // this network, broadcast, multicast, reserved
    if ((*quad >> 16) == 0xA9FE)
        return false; // 169.254.x.x
    return true;
}

SteamServerListReply parseServerListReply(std::string_view body) {
    if (body.size() > kMaxServerListReplyBytes)
        return refuse("the reply is larger than 16 MiB");
    JsonReader json(body);
    auto malformed = [&json] {
        return refuse(text::format("the reply is not valid JSON (%s at byte %zu)",
                                   json.error().c_str(), json.errorOffset()));
    };
    if (json.peek() != JsonReader::Kind::Object) {
        if (json.atEnd())
            return refuse("the reply is empty");
        json.fail("not a JSON object");
        return malformed();
    }

    SteamServerListReply reply;
    std::unordered_set<ServerAddress, AddressHash> seen;
    bool sawResponse = false;
    std::string key;
    json.beginObject();
    while (json.nextMember(key)) {
        if (key != "response" || json.peek() != JsonReader::Kind::Object) {
            json.skipValue();
            continue;
        }
        sawResponse = true;
        json.beginObject();
        while (json.nextMember(key)) {
            if (key != "servers" || json.peek() != JsonReader::Kind::Array) {
                json.skipValue();
                continue;
            }
            json.beginArray();
            std::size_t entries = 0;
            while (json.nextElement()) {
                if (++entries > kMaxEntries) {
                    json.skipValue();
                    ++reply.dropped;
                    continue;
                }
                RawServer raw;
                if (!readEntry(json, raw))
                    break;
                if (!settleAddress(raw) || !seen.insert(raw.server.address).second) {
                    ++reply.dropped;
                    continue;
                }
                reply.servers.push_back(std::move(raw.server));
            }
        }
    }
    if (!json.ok() || !json.atEnd()) {
        if (json.ok())
            json.fail("text after the end of the document");
        return malformed();
    }
    if (!sawResponse)
        return refuse("the reply holds no \"response\" object");
    reply.ok = true;
    return reply;
}

} // namespace ondel
