#include "RconHandler.h"

#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "common/Text.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace ondel::hlsim {

namespace {

constexpr std::string_view kChallengeRequest = "challenge rcon";
constexpr std::size_t kMaxLogTargets = 16;

constexpr std::array<const char*, 20> kMaps = {
    "boot_camp", "bounce",    "crossfire", "datacore",   "frenzy",   "gasworks",    "lambda_bunker",
    "rapidcore", "snark_pit", "stalkyard", "subtransit", "undertow", "doublecross", "c1a0",
    "c1a1",      "c1a2",      "c2a1",      "c3a1",       "c4a1",     "c5a1",
};

// The datagram's text: the bytes after the header up to the first NUL, without the line feed
// some clients end it with.
std::string requestText(std::span<const std::uint8_t> request) {
    ByteReader reader(request);
    reader.skip(4);
    std::string text = reader.cStringOrRest();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Splits at blanks; a "quoted" word may hold blanks. Stops at the end of the text.
std::vector<std::string> tokenize(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            auto end = text.find('"', i + 1);
            if (end == std::string_view::npos)
                end = text.size();
            words.emplace_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        auto start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

struct Token {
    std::string value;
    bool quoted = false;
    std::size_t end = 0; // position after the token
};

// Reads one word from pos (blanks skipped): up to the closing quote when it starts with one.
Token readToken(std::string_view text, std::size_t pos) {
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    Token token;
    if (pos < text.size() && text[pos] == '"') {
        auto close = text.find('"', pos + 1);
        if (close == std::string_view::npos)
            close = text.size();
        token.value = std::string(text.substr(pos + 1, close - pos - 1));
        token.quoted = true;
        token.end = std::min(close + 1, text.size());
        return token;
    }
    auto end = text.find(' ', pos);
    if (end == std::string_view::npos)
        end = text.size();
    token.value = std::string(text.substr(pos, end - pos));
    token.end = end;
    return token;
}

std::string restAfter(std::string_view text, std::size_t pos) {
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    return pos < text.size() ? std::string(text.substr(pos)) : std::string();
}

bool parseChallenge(const Token& token, std::uint32_t& out) {
    if (token.quoted || token.value.empty())
        return false;
    const char* first = token.value.data();
    const char* last = first + token.value.size();
    auto [end, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && end == last;
}

std::string lowercase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string clockText(double seconds) {
    int total = static_cast<int>(seconds);
    if (total >= 3600)
        return text::format("%d:%02d:%02d", total / 3600, total / 60 % 60, total % 60);
    return text::format("%02d:%02d", total / 60, total % 60);
}

} // namespace

RconHandler::RconHandler(std::uint32_t seed) : m_challenges(seed) {}

bool RconHandler::isRcon(std::span<const std::uint8_t> request) {
    ByteReader reader(request);
    if (reader.u32() != 0xFFFFFFFF || !reader.ok())
        return false;
    std::string text = reader.bytes(std::min<std::size_t>(reader.remaining(), 15));
    return text.starts_with(kChallengeRequest) || text.starts_with("rcon ");
}

RconOutcome RconHandler::handle(std::span<const std::uint8_t> request, const std::string& senderIp,
                                int senderPort, ServerState& state, double now) {
    RconOutcome outcome;
    const std::string text = requestText(request);

    if (text.starts_with(kChallengeRequest)) {
        if (restAfter(text, kChallengeRequest.size()).empty()) {
            ByteWriter w;
            w.u32(0xFFFFFFFF);
            w.bytes(text::format("challenge rcon %u\n", m_challenges.challengeFor(senderIp)));
            w.u8(0);
            outcome.replies.push_back(w.take());
        }
        return outcome;
    }

    const std::string from =
        "\"" + text + "\" from \"" + senderIp + ":" + std::to_string(senderPort) + "\"";
    auto refuse = [&](std::string_view answer) {
        outcome.replies.push_back(printReply(answer));
        outcome.logLines.push_back("Bad Rcon: " + from);
        return outcome;
    };

    // "rcon CHALLENGE PASSWORD COMMAND"; with --old-rcon also "rcon PASSWORD COMMAND" when the
    // first word is not this sender's challenge.
    const std::size_t afterWord = 4;
    Token first = readToken(text, afterWord);
    std::uint32_t challenge = 0;
    std::string password;
    std::string command;
    bool numbered = parseChallenge(first, challenge);
    if (numbered && m_challenges.matches(senderIp, challenge)) {
        Token secret = readToken(text, first.end);
        password = secret.value;
        command = restAfter(text, secret.end);
    } else if (state.options().oldRcon) {
        password = first.value;
        command = restAfter(text, first.end);
    } else {
        return refuse("Bad challenge.\n");
    }

    const std::string& expected = state.options().rconPassword;
    if (expected.empty() || password != expected)
        return refuse("Bad rcon_password.\n");

    std::vector<std::string> commandLog;
    std::string output = runCommand(command, state, now, commandLog);
    if (!output.empty())
        outcome.replies.push_back(printReply(output));
    outcome.logLines.push_back("Rcon: " + from);
    outcome.logLines.insert(outcome.logLines.end(), commandLog.begin(), commandLog.end());
    return outcome;
}

std::string RconHandler::runCommand(const std::string& command, ServerState& state, double now,
                                    std::vector<std::string>& logLines) {
    std::vector<std::string> words = tokenize(command);
    if (words.empty())
        return {};
    const std::string verb = lowercase(words[0]);
    std::vector<std::string> args(words.begin() + 1, words.end());
    auto joined = [&] {
        std::string s;
        for (std::size_t i = 0; i < args.size(); ++i)
            s += (i > 0 ? " " : "") + args[i];
        return s;
    };

    if (verb == "status")
        return statusText(state, now);
    if (verb == "echo")
        return joined() + "\n";
    if (verb == "users") {
        std::string out = "userid : uniqueid : name\n------ : ---------: ----\n";
        for (const auto& p : state.players())
            out += text::format("%6d : %s : %s\n", p.userId, p.uniqueId.c_str(), p.name.c_str());
        return out + text::format("%zu users\n", state.players().size());
    }
    if (verb == "maps") {
        if (args.empty())
            return "Usage:  maps <substring>\nmaps * for full listing\n";
        std::string filter = args[0] == "*" ? "" : args[0];
        std::string out = "-------------\n";
        for (const char* map : kMaps) {
            if (std::string_view(map).find(filter) != std::string_view::npos)
                out += std::string(map) + ".bsp\n";
        }
        return out;
    }
    if (verb == "logaddress" || verb == "logaddress_add" || verb == "logaddress_del" ||
        verb == "logaddress_delall")
        return logAddressCommand(verb, args);
    if (verb == "changelevel" || verb == "map") {
        if (args.empty())
            return verb + " <levelname> : continue game on a new level\n";
        auto lines = state.changeMap(args[0], now);
        logLines.insert(logLines.end(), lines.begin(), lines.end());
        return {};
    }
    if (verb == "kick") {
        const SimPlayer* target = nullptr;
        if (args.size() >= 2 && args[0] == "#") {
            int id = 0;
            text::parseLeadingInt(args[1], id);
            for (const auto& p : state.players())
                target = p.userId == id ? &p : target;
        } else if (!args.empty()) {
            for (const auto& p : state.players())
                target = target == nullptr && p.name == args[0] ? &p : target;
        }
        if (target == nullptr)
            return "Can't kick \"" + joined() + "\", no such player\n";
        logLines.push_back("Kick: " + ServerState::logName(*target) + " was kicked by \"Console\"");
        auto lines = state.leave(target->name);
        logLines.insert(logLines.end(), lines.begin(), lines.end());
        return {};
    }
    if (verb == "say") {
        logLines.push_back("Server say \"" + joined() + "\"");
        return {};
    }
    if (verb == "hostname") {
        if (args.empty())
            return "\"hostname\" is \"" + state.name() + "\"\n";
        auto lines = state.setName(joined());
        logLines.insert(logLines.end(), lines.begin(), lines.end());
        return {};
    }
    // A rule name reads or sets that server variable, as the console does for cvars.
    if (auto value = state.ruleValue(words[0], now)) {
        if (args.empty())
            return "\"" + words[0] + "\" is \"" + *value + "\"\n";
        auto lines = state.setRule(words[0], joined());
        logLines.insert(logLines.end(), lines.begin(), lines.end());
        return {};
    }
    return "Unknown command \"" + words[0] + "\"\n";
}

std::string RconHandler::logAddressCommand(const std::string& verb,
                                           const std::vector<std::string>& args) {
    if (verb == "logaddress_delall") {
        m_logTargets.clear();
        return "logaddress_delall:  all addresses cleared\n";
    }
    in_addr parsed{};
    int port = 0;
    if (args.size() != 2 || inet_pton(AF_INET, args[0].c_str(), &parsed) != 1 ||
        !text::parseLeadingInt(args[1], port) || port <= 0 || port > 65535)
        return "usage: " + verb + " ip port\n";
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &parsed, dotted, sizeof dotted);
    LogTarget target{dotted, port};
    if (verb == "logaddress") {
        m_logTargets.assign(1, target);
    } else if (verb == "logaddress_add") {
        if (std::find(m_logTargets.begin(), m_logTargets.end(), target) == m_logTargets.end() &&
            m_logTargets.size() < kMaxLogTargets)
            m_logTargets.push_back(target);
    } else {
        std::erase(m_logTargets, target);
        return verb + ":  " + target.ip + ":" + std::to_string(port) + " removed\n";
    }
    return verb + ":  " + target.ip + ":" + std::to_string(port) + "\n";
}

std::string RconHandler::statusText(const ServerState& state, double now) {
    const HlsimOptions& o = state.options();
    std::string out;
    out += "hostname:  " + state.name() + "\n";
    out += text::format("version :  47/%s 8684 %s  (%s)\n", o.version.c_str(),
                        o.secure ? "secure" : "insecure", o.gameDir.c_str());
    out += "tcp/ip  :  " + state.addressText() + "\n";
    out += "map     :  " + state.map() + " at: 0 x, 0 y, 0 z\n";
    out += text::format("players :  %zu active (%d max)\n\n", state.players().size(),
                        state.maxPlayers());
    out += "#      name userid uniqueid frag time ping loss adr\n";
    int number = 1;
    for (const auto& p : state.players()) {
        out += text::format("#%2d \"%s\" %d %s %d %s %d %d %s\n", number++, p.name.c_str(),
                            p.userId, p.uniqueId.c_str(), p.frags,
                            clockText(ServerState::connectedSeconds(p, now)).c_str(), p.ping, 0,
                            p.address.c_str());
    }
    out += text::format("%zu users\n", state.players().size());
    return out;
}

Datagram RconHandler::printReply(std::string_view text) {
    ByteWriter w;
    w.u32(0xFFFFFFFF);
    w.u8('l');
    w.bytes(text);
    w.u8(0);
    w.u8(0);
    return w.take();
}

Datagram RconHandler::logDatagram(std::string_view text, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    ByteWriter w;
    w.u32(0xFFFFFFFF);
    w.bytes(text::format("log L %02d/%02d/%04d - %02d:%02d:%02d: ", local.tm_mon + 1, local.tm_mday,
                         local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec));
    w.bytes(text);
    w.u8('\n');
    w.u8(0);
    return w.take();
}

} // namespace ondel::hlsim
