// ondel-cli decode FILE [--json]: one captured reply datagram (header included), read by the
// same parsers the query engine uses.
#include "CliCommand.h"

#include "common/ByteReader.h"
#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/VisibleText.h"
#include "query/ChallengeParser.h"
#include "query/FragmentReassembler.h"
#include "query/InfoReplyParser.h"
#include "query/PlayersReplyParser.h"
#include "query/QueryProtocol.h"
#include "query/RulesReplyParser.h"
#include "query/SteamInfoParser.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace ondel::cli {

namespace {

const CommandSyntax kSyntax{
    .name = "decode",
    .operands = "FILE",
    .summary = "read one captured reply datagram",
    .options = {{"--json", "", "print one JSON object"}},
    .minOperands = 1,
    .maxOperands = 1,
    .missingOperand = "no file given",
};
// A whole reply is at most 15 fragments of at most 2048 bytes; anything bigger is no capture.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

// Collects key/value output for both forms: "key: value" lines or one JSON object.
class Output {
public:
    explicit Output(bool json) : m_json(json) {
        if (m_json)
            m_writer.beginObject();
    }
    void text(const char* key, std::string_view bytes) {
        if (m_json) {
            m_writer.key(key);
            m_writer.value(bytes);
        } else {
            m_lines += text::format("%s: %s\n", key, text::visible(bytes).c_str());
        }
    }
    void number(const char* key, std::int64_t v) {
        if (m_json) {
            m_writer.key(key);
            m_writer.value(v);
        } else {
            m_lines += text::format("%s: %lld\n", key, static_cast<long long>(v));
        }
    }
    JsonWriter* json() { return m_json ? &m_writer : nullptr; }
    void line(const std::string& s) { m_lines += s; }
    std::string finish() {
        if (!m_json)
            return m_lines;
        m_writer.endObject();
        return m_writer.text() + "\n";
    }

private:
    bool m_json;
    JsonWriter m_writer;
    std::string m_lines;
};

void infoFields(Output& out, const ServerEntry& e) {
    out.text("hostName", e.hostName);
    out.text("map", e.map);
    out.text("gameDir", e.gameDir);
    out.text("gameDescription", e.gameDescription);
    out.number("players", e.players);
    out.number("maxPlayers", e.maxPlayers);
    out.number("protocol", e.protocol);
    out.number("serverType", e.serverType);
    out.number("os", e.os);
    out.number("passwordRequired", e.passwordRequired);
    out.number("isMod", e.isMod);
}

void rules(Output& out, const ServerEntry& e) {
    if (JsonWriter* w = out.json()) {
        w->key("rules");
        w->beginArray();
        for (const auto& r : e.rules) {
            w->beginObject();
            w->key("name"), w->value(r.name);
            w->key("value"), w->value(r.value);
            w->endObject();
        }
        w->endArray();
    } else {
        out.line(text::format("rules: %zu\n", e.rules.size()));
        for (const auto& r : e.rules)
            out.line(text::format("  %s = %s\n", text::visible(r.name).c_str(),
                                  text::visible(r.value).c_str()));
    }
    out.text("adminModVersion", e.adminModVersion);
    out.number("reserveSlots", e.reserveSlots);
    out.number("timeLeft", e.timeLeft);
    out.number("timeLimit", e.timeLimit);
    out.number("friendlyFire", e.friendlyFire);
}

void players(Output& out, const std::vector<PlayerRecord>& list) {
    if (JsonWriter* w = out.json()) {
        w->key("playerList");
        w->beginArray();
        for (const auto& p : list) {
            w->beginObject();
            w->key("index"), w->value(static_cast<int>(p.index));
            w->key("name"), w->value(p.name);
            w->key("frags"), w->value(p.frags);
            w->key("time"), w->value(p.time);
            w->endObject();
        }
        w->endArray();
    } else {
        out.line(text::format("playerList: %zu\n", list.size()));
        for (const auto& p : list)
            out.line(text::format("  %3d  %-32s %6d %6d\n", p.index, text::visible(p.name).c_str(),
                                  p.frags, p.time));
    }
}

int fail(const std::string& path, const char* why) {
    return failure(kSyntax, text::visible(path) + ": " + why);
}

int runDecode(const Arguments& args) {
    const std::string& path = args.operands().front();
    const bool json = args.has("--json");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return fail(path, "cannot be opened");
    std::vector<std::uint8_t> bytes;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + file.gcount());
        if (bytes.size() > kMaxFileBytes)
            return fail(path, "too large for one reply datagram");
    }
    const std::uint8_t* data = bytes.data();
    std::size_t n = bytes.size();

    if (FragmentReassembler::isFragment(data, n))
        return fail(path, "a fragment of a split reply, not a whole reply");
    ByteReader in(data, n);
    std::uint32_t header = in.u32();
    std::uint8_t type = in.u8();
    if (!in.ok() || header != protocol::kOutOfBand)
        return fail(path, "not a reply datagram (too short, or no FF FF FF FF header)");

    Output out(json);
    switch (type) {
    case protocol::kInfoReply: {
        ServerEntry e;
        if (!InfoReplyParser::parse(data, n, e))
            return fail(path, "info reply (m) cut short before its mod flag");
        out.text("type", "m");
        infoFields(out, e);
        break;
    }
    case protocol::kSteamInfoReply: {
        ServerEntry e;
        SteamInfoExtras x;
        if (!SteamInfoParser::parse(data, n, e, &x))
            return fail(path, "Steam info reply (I) cut short before its version");
        out.text("type", "I");
        infoFields(out, e);
        out.number("appId", x.appId);
        out.number("bots", x.bots);
        out.number("vac", x.vac);
        out.text("version", x.version);
        if (x.gamePort)
            out.number("gamePort", *x.gamePort);
        if (x.steamId)
            out.text("steamId", std::to_string(*x.steamId));
        if (x.spectatorPort) {
            out.number("spectatorPort", *x.spectatorPort);
            out.text("spectatorName", x.spectatorName);
        }
        if (x.keywords)
            out.text("keywords", *x.keywords);
        if (x.gameId)
            out.text("gameId", std::to_string(*x.gameId));
        break;
    }
    case protocol::kRulesReply: {
        ServerEntry e;
        if (!RulesReplyParser::parse(data, n, e))
            return fail(path, "rules reply (E) cut short before its count");
        out.text("type", "E");
        rules(out, e);
        break;
    }
    case protocol::kPlayersReply: {
        std::vector<PlayerRecord> list;
        // Steam-era servers number every player 0; a capture does not say which dialect it is.
        bool zeroIndex = n > 6 && data[6] == 0;
        if (!PlayersReplyParser::parse(data, n, list, zeroIndex))
            return fail(path, "players reply (D) cut short before its count");
        out.text("type", "D");
        players(out, list);
        break;
    }
    case protocol::kPingReply:
        out.text("type", "j");
        break;
    case protocol::kPrintReply:
        out.text("type", "l");
        out.text("text", ChallengeParser::printText(data, n));
        break;
    case protocol::kSteamChallengeReply: {
        auto challenge = ChallengeParser::steamChallenge(data, n);
        if (!challenge)
            return fail(path, "Steam challenge reply (A) cut short");
        out.text("type", "A");
        out.number("challenge", *challenge);
        break;
    }
    default: {
        if (ChallengeParser::isRconChallenge(data, n)) {
            auto number = ChallengeParser::rconChallenge(data, n);
            if (!number)
                return fail(path, "RCON challenge reply without a number");
            out.text("type", "challenge rcon");
            out.number("challenge", *number);
            break;
        }
        return fail(path, text::format("unknown reply type 0x%02X", type).c_str());
    }
    }
    return writeOutput(out.finish()) ? kExitOk : kExitFailed;
}

const CliCommand decodeCommand(kSyntax, &runDecode);

} // namespace

} // namespace ondel::cli
