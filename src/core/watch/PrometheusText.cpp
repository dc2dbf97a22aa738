#include "watch/PrometheusText.h"

#include "common/Text.h"

#include <cstdio>

namespace ondel {

namespace {

constexpr std::size_t kMaxLabelBytes = 256;

void appendLabel(std::string& out, const char* name, std::string_view value, bool first) {
    if (!first)
        out += ',';
    out += name;
    out += "=\"";
    out += prometheusLabelValue(value);
    out += '"';
}

void appendNumber(std::string& out, double value) {
    char buffer[32];
    int n = std::snprintf(buffer, sizeof buffer, "%.6g", value);
    out.append(buffer, static_cast<std::size_t>(n));
}

void appendInt(std::string& out, std::int64_t value) {
    out += std::to_string(value);
}

void header(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

template <typename Value, typename Want>
void serverGauge(std::string& out, const std::vector<ServerMetrics>& servers, const char* name,
                 const char* help, Want want, Value value) {
    header(out, name, "gauge", help);
    for (const ServerMetrics& s : servers) {
        if (!want(s))
            continue;
        out += name;
        out += '{';
        appendLabel(out, "server", s.server, true);
        out += "} ";
        value(out, s);
        out += '\n';
    }
}

void watchFigure(std::string& out, const char* name, const char* type, const char* help,
                 double value) {
    header(out, name, type, help);
    out += name;
    out += ' ';
    appendNumber(out, value);
    out += '\n';
}

} // namespace

std::string prometheusLabelValue(std::string_view bytes) {
    std::string utf8 = text::cutUtf8(text::toDisplayUtf8(bytes), kMaxLabelBytes);
    std::string out;
    out.reserve(utf8.size() + 8);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<unsigned char>(utf8[i]);
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c == 0x7F)
            out += "\xEF\xBF\xBD";
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string prometheusText(const std::vector<ServerMetrics>& servers, const WatchFigures& figures) {
    std::string out;
    out.reserve(servers.size() * 400 + 2048);
    auto all = [](const ServerMetrics&) { return true; };
    auto answered = [](const ServerMetrics& s) { return s.up; };
    serverGauge(out, servers, "a2s_server_up", "Whether the server answered in the latest round.",
                all, [](std::string& o, const ServerMetrics& s) { o += s.up ? '1' : '0'; });
    serverGauge(out, servers, "a2s_server_players", "Players on the server (0 when down).", all,
                [](std::string& o, const ServerMetrics& s) { appendInt(o, s.up ? s.players : 0); });
    serverGauge(
        out, servers, "a2s_server_max_players", "Player slots (0 when down).", all,
        [](std::string& o, const ServerMetrics& s) { appendInt(o, s.up ? s.maxPlayers : 0); });
    serverGauge(
        out, servers, "a2s_server_bots", "Bots among the players, where the server says.",
        [](const ServerMetrics& s) { return s.up && s.bots >= 0; },
        [](std::string& o, const ServerMetrics& s) { appendInt(o, s.bots); });
    serverGauge(
        out, servers, "a2s_server_ping_seconds", "Round trip of the details request.",
        [](const ServerMetrics& s) { return s.up && s.pingMs >= 0; },
        [](std::string& o, const ServerMetrics& s) { appendNumber(o, s.pingMs / 1000.0); });

    header(out, "a2s_server_info", "gauge", "Name, map, game and dialect of the server.");
    for (const ServerMetrics& s : servers) {
        if (!answered(s))
            continue;
        out += "a2s_server_info{";
        appendLabel(out, "server", s.server, true);
        appendLabel(out, "map", s.map, false);
        appendLabel(out, "game", s.game, false);
        appendLabel(out, "name", s.name, false);
        appendLabel(out, "dialect", s.dialect, false);
        out += "} 1\n";
    }

    std::size_t up = 0;
    for (const ServerMetrics& s : servers)
        up += s.up;
    watchFigure(out, "ondel_watch_round_duration_seconds", "gauge",
                "How long the latest round took.", figures.roundSeconds);
    watchFigure(out, "ondel_watch_servers", "gauge", "Servers watched.",
                static_cast<double>(servers.size()));
    watchFigure(out, "ondel_watch_servers_up", "gauge",
                "Servers that answered in the latest round.", static_cast<double>(up));
    watchFigure(out, "ondel_watch_rounds_total", "counter", "Rounds done.",
                static_cast<double>(figures.rounds));
    watchFigure(out, "ondel_watch_packets_sent_total", "counter", "Datagrams sent to servers.",
                static_cast<double>(figures.packetsSent));
    watchFigure(out, "ondel_watch_packets_received_total", "counter",
                "Datagrams received from servers.", static_cast<double>(figures.packetsReceived));
    watchFigure(out, "ondel_watch_budget_held_total", "counter",
                "Requests the per-server packet budget held back.",
                static_cast<double>(figures.sendsHeld));
    return out;
}

} // namespace ondel
