// steamapisim: a stand-in of the Steam Web API's server list for tests and the demo. Plain HTTP
// on 127.0.0.1; answers GET /IGameServersService/GetServerList/v1/ with generated servers on
// loopback addresses, plus entries a client must drop (169.254.x.x, 0.0.0.0, a repeat). Logs
// every request path on stdout with the key masked.
//
//   --port N        listen on 127.0.0.1:N (0, the default: the system picks)
//   --servers N     how many usable servers exist (default 20): 127.0.0.1 to 127.0.0.250 on
//                   port 27015, then the same on 27016 and so on
//   --server-port P the usable servers are 127.0.0.1:P, P+1, ... instead (the ports of
//                   hlsim --count N), so that a client can query them
//   --cap N         no reply holds more than N entries (default 10000, as the real API)
//
// Server i runs map i % 4 of four, has i % 17 of 16 players, is secure when i / 2 is even, runs
// Windows when i / 4 is odd (else Linux), is dedicated unless i / 8 is a multiple of 3, and has
// a password when i / 16 is a multiple of 5. The filter's conditions are applied to them:
// \map\, \empty\1, \full\1, \noplayers\1, \secure\1, \linux\1, \dedicated\1, \password\0|1,
// \name_match\ (with *), and the groups \or\N, \nor\N, \and\N, \nand\N over the next N
// conditions. \appid\ and \gamedir\ choose the game the servers are of; other keys are ignored.
//   --key KEY       accept only this key; any other gets 403 with an HTML body
//   --status N      answer every request with this status (403 and 429 with the usual bodies)
//   --garbage       answer 200 with a body that is not JSON
//   --truncate      answer 200 with the JSON cut in the middle
//   --empty         answer {"response":{}} (nothing matches)
#include "common/JsonWriter.h"
#include "discover/DiscoverFilter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace ondel;

namespace {

struct Options {
    int port = 0;
    int servers = 20;
    int serverPort = 0; // 0: 127.0.0.x on 27015 and up
    int cap = 10000;
    std::string key;
    int status = 200;
    bool garbage = false;
    bool truncate = false;
    bool empty = false;
};

std::atomic<bool> g_stop{false};

void onSignal(int) {
    g_stop.store(true);
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out.push_back(static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i] == '+' ? ' ' : s[i]);
        }
    }
    return out;
}

std::map<std::string, std::string> queryOf(const std::string& target) {
    std::map<std::string, std::string> out;
    std::size_t q = target.find('?');
    if (q == std::string::npos)
        return out;
    std::string rest = target.substr(q + 1);
    std::size_t at = 0;
    while (at <= rest.size()) {
        std::size_t amp = rest.find('&', at);
        std::string pair = rest.substr(at, amp == std::string::npos ? amp : amp - at);
        std::size_t eq = pair.find('=');
        if (eq != std::string::npos)
            out[pair.substr(0, eq)] = percentDecode(pair.substr(eq + 1));
        if (amp == std::string::npos)
            break;
        at = amp + 1;
    }
    return out;
}

// The filter's conditions as name -> value (the last one wins; \or groups are read flat).
std::map<std::string, std::string> filterOf(const std::string& filter) {
    std::map<std::string, std::string> out;
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at < filter.size()) {
        std::size_t next = filter.find('\\', at + 1);
        parts.push_back(filter.substr(at + 1, next == std::string::npos ? next : next - at - 1));
        at = next == std::string::npos ? filter.size() : next;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        out[parts[i]] = parts[i + 1];
    return out;
}

const char* const kMaps[] = {"de_dust2", "cs_office", "de_inferno", "crossfire"};

// One generated server as the filter sees it.
struct SimServer {
    std::string name;
    std::string map;
    int players = 0;
    int maxPlayers = 16;
    bool secure = false;
    bool linux = false;
    bool dedicated = false;
    bool password = false;
};

SimServer simServer(int i) {
    SimServer s;
    s.name =
        i == 1 ? "Quote \"q\" caf\xC3\xA9 <b>bold</b>" : "Stand-in server " + std::to_string(i + 1);
    s.map = kMaps[i % 4];
    s.players = i % 17; // 0 (empty) to 16 (full)
    s.secure = (i / 2) % 2 == 0;
    s.linux = (i / 4) % 2 == 0;
    s.dedicated = (i / 8) % 3 != 0;
    s.password = (i / 16) % 5 == 0;
    return s;
}

bool globMatch(const std::string& glob, const std::string& text, std::size_t g = 0,
               std::size_t t = 0) {
    if (g == glob.size())
        return t == text.size();
    if (glob[g] == '*')
        return globMatch(glob, text, g + 1, t) ||
               (t < text.size() && globMatch(glob, text, g, t + 1));
    return t < text.size() && glob[g] == text[t] && globMatch(glob, text, g + 1, t + 1);
}

using Conditions = std::vector<std::pair<std::string, std::string>>;

// The filter text as its key/value pairs, in order.
Conditions conditionsOf(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at < filter.size()) {
        std::size_t next = filter.find('\\', at + 1);
        parts.push_back(filter.substr(at + 1, next == std::string::npos ? next : next - at - 1));
        at = next == std::string::npos ? filter.size() : next;
    }
    Conditions out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        out.emplace_back(parts[i], parts[i + 1]);
    return out;
}

// Evaluates the condition at `at` (a group takes its N conditions with it) and moves past it.
bool holds(const SimServer& s, const Conditions& c, std::size_t& at) {
    const auto& [key, value] = c[at++];
    if (key == "or" || key == "nor" || key == "and" || key == "nand") {
        const int n = std::atoi(value.c_str());
        int met = 0;
        int seen = 0;
        for (; seen < n && at < c.size(); ++seen)
            met += holds(s, c, at) ? 1 : 0;
        if (key == "or")
            return met > 0;
        if (key == "nor")
            return met == 0;
        if (key == "and")
            return met == seen;
        return met < seen;
    }
    const bool one = value == "1";
    if (key == "map")
        return s.map == value;
    if (key == "empty")
        return !one || s.players > 0;
    if (key == "full")
        return !one || s.players < s.maxPlayers;
    if (key == "noplayers")
        return !one || s.players == 0;
    if (key == "secure")
        return !one || s.secure;
    if (key == "linux")
        return !one || s.linux;
    if (key == "dedicated")
        return !one || s.dedicated;
    if (key == "password")
        return s.password == one;
    if (key == "name_match")
        return globMatch(value, s.name);
    return true; // appid, gamedir (the servers are of the asked game) and keys not simulated
}

bool matchesFilter(const SimServer& s, const Conditions& c) {
    std::size_t at = 0;
    while (at < c.size())
        if (!holds(s, c, at))
            return false;
    return true;
}

// The key replaced by "***" in a request path.
std::string masked(const std::string& target) {
    std::string out = target;
    std::size_t k = out.find("key=");
    while (k != std::string::npos) {
        if (k == 0 || out[k - 1] == '?' || out[k - 1] == '&') {
            std::size_t end = out.find('&', k);
            out.replace(k + 4, (end == std::string::npos ? out.size() : end) - k - 4, "***");
        }
        k = out.find("key=", k + 4);
    }
    return out;
}

void writeServer(JsonWriter& json, const std::string& addr, int port, const SimServer& s,
                 const std::string& gameDir, int appId) {
    json.beginObject();
    json.key("addr"), json.value(addr + ":" + std::to_string(port));
    json.key("gameport"), json.value(port);
    json.key("steamid"), json.value("90000000000000000");
    json.key("name"), json.value(s.name);
    json.key("appid"), json.value(appId);
    json.key("gamedir"), json.value(gameDir);
    json.key("version"), json.value("1.1.2.7/Stdio");
    json.key("product"), json.value(gameDir);
    json.key("region"), json.value(255);
    json.key("players"), json.value(s.players);
    json.key("max_players"), json.value(s.maxPlayers);
    json.key("bots"), json.value(s.players % 3);
    json.key("map"), json.value(s.map);
    json.key("secure"), json.value(s.secure);
    json.key("dedicated"), json.value(s.dedicated);
    json.key("os"), json.value(s.linux ? "l" : "w");
    json.key("gametype"), json.value("");
    json.endObject();
}

std::string serverList(const Options& o, const std::map<std::string, std::string>& query) {
    if (o.empty)
        return "{\"response\":{}}";
    auto filter = filterOf(query.count("filter") ? query.at("filter") : "");
    int limit = query.count("limit") ? std::atoi(query.at("limit").c_str()) : 100;
    if (limit <= 0)
        limit = 100;
    limit = std::min(limit, o.cap);
    const Conditions conditions = conditionsOf(query.count("filter") ? query.at("filter") : "");
    int appId = filter.count("appid") ? std::atoi(filter["appid"].c_str()) : 10;
    std::string gameDir = filter.count("gamedir") ? filter["gamedir"] : "cstrike";
    if (!filter.count("gamedir"))
        for (const auto& game : kGameApps)
            if (game.appId == appId)
                gameDir = game.gameDir;

    JsonWriter json(false);
    json.beginObject();
    json.key("response");
    json.beginObject();
    json.key("servers");
    json.beginArray();
    int written = 0;
    // First the entries a client has to drop: a listen server's link-local side, no address,
    // and (below) a repeat of the first usable server.
    if (o.servers > 0 && limit > 3) {
        SimServer junk = simServer(0);
        junk.name = "Listen server";
        writeServer(json, "169.254.10.20", 27015, junk, gameDir, appId);
        junk.name = "No address";
        writeServer(json, "0.0.0.0", 27015, junk, gameDir, appId);
        written += 2;
    }
    bool repeated = false;
    for (int i = 0; i < o.servers && written < limit; ++i) {
        const SimServer server = simServer(i);
        if (!matchesFilter(server, conditions))
            continue;
        std::string host =
            o.serverPort != 0 ? "127.0.0.1" : "127.0.0." + std::to_string(1 + i % 250);
        int port = o.serverPort != 0 ? o.serverPort + i : 27015 + i / 250;
        writeServer(json, host, port, server, gameDir, appId);
        ++written;
        if (!repeated && written < limit) {
            writeServer(json, host, port, server, gameDir, appId);
            repeated = true;
            ++written;
        }
    }
    json.endArray();
    json.endObject();
    json.endObject();
    return json.text();
}

bool sendAll(int fd, const std::string& data) {
    std::size_t at = 0;
    while (at < data.size()) {
        ssize_t n = ::send(fd, data.data() + at, data.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

void reply(int fd, int status, const char* type, const std::string& body) {
    const char* reason = status == 200   ? "OK"
                         : status == 403 ? "Forbidden"
                         : status == 404 ? "Not Found"
                         : status == 429 ? "Too Many Requests"
                                         : "Status";
    std::string head =
        "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
        "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    sendAll(fd, head + body);
}

void serve(int fd, const Options& o) {
    std::string buf;
    char chunk[4096];
    while (buf.find("\r\n\r\n") == std::string::npos && buf.size() < 64 * 1024) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return;
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return;
        buf.append(chunk, static_cast<std::size_t>(n));
    }
    std::size_t s1 = buf.find(' ');
    std::size_t s2 = s1 == std::string::npos ? s1 : buf.find(' ', s1 + 1);
    if (s2 == std::string::npos)
        return;
    std::string method = buf.substr(0, s1);
    std::string target = buf.substr(s1 + 1, s2 - s1 - 1);
    std::printf("request %s %s\n", method.c_str(), masked(target).c_str());
    std::fflush(stdout);

    const std::string forbidden =
        "<html><head><title>Forbidden</title></head><body><h1>Forbidden</h1>Access is denied. "
        "Retrying will not help. Please verify your <pre>key=</pre> parameter.</body></html>";
    std::string path = target.substr(0, target.find('?'));
    auto query = queryOf(target);
    if (method != "GET" || path != kServerListPath)
        return reply(fd, 404, "text/html", "<html><body>Not Found</body></html>");
    if (o.status == 403 || (!o.key.empty() && query["key"] != o.key))
        return reply(fd, 403, "text/html", forbidden);
    if (o.status == 429)
        return reply(fd, 429, "text/html", "<html><body>Too Many Requests</body></html>");
    if (o.status != 200)
        return reply(fd, o.status, "text/html", "<html><body>Error</body></html>");
    if (o.garbage)
        return reply(fd, 200, "application/json", "<html>\x01\xFF not a server list");
    std::string body = serverList(o, query);
    if (o.truncate)
        body.resize(body.size() / 2);
    reply(fd, 200, "application/json; charset=UTF-8", body);
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--port" && hasValue)
            o.port = std::atoi(argv[++i]);
        else if (a == "--servers" && hasValue)
            o.servers = std::atoi(argv[++i]);
        else if (a == "--cap" && hasValue)
            o.cap = std::atoi(argv[++i]);
        else if (a == "--server-port" && hasValue)
            o.serverPort = std::atoi(argv[++i]);
        else if (a == "--key" && hasValue)
            o.key = argv[++i];
        else if (a == "--status" && hasValue)
            o.status = std::atoi(argv[++i]);
        else if (a == "--garbage")
            o.garbage = true;
        else if (a == "--truncate")
            o.truncate = true;
        else if (a == "--empty")
            o.empty = true;
        else
            return false;
    }
    return o.port >= 0 && o.port <= 65535 && o.servers >= 0 && o.serverPort >= 0 && o.cap > 0 &&
           (o.serverPort == 0 || o.servers <= 65536 - o.serverPort);
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: steamapisim [--port N] [--servers N] [--server-port P] "
                     "[--cap N] [--key KEY] [--status N] [--garbage] [--truncate] [--empty]\n");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(o.port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 16) != 0) {
        std::perror("steamapisim: listen");
        return 1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    std::printf("steamapisim listening on 127.0.0.1:%d\n", ntohs(addr.sin_port));
    std::fflush(stdout);
    // One request at a time is all the tests and the demo need.
    while (!g_stop.load()) {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0)
            continue;
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        serve(fd, o);
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
    ::close(listener);
    return 0;
}
