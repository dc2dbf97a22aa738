#include "EntryJson.h"

#include "common/Text.h"
#include "common/VisibleText.h"

namespace ondel::cli {

namespace {
// Flags are written as the list file stores them: 0 or 1.
int flag(bool set) {
    return set ? 1 : 0;
}
} // namespace

void writeEntryJson(JsonWriter& json, const ServerEntry& e,
                    const std::function<void(JsonWriter&)>& extraFields) {
    json.beginObject();
    json.key("host"), json.value(e.address.host);
    json.key("port"), json.value(e.address.port);
    json.key("password"), json.value(e.password);
    json.key("savePassword"), json.value(flag(e.savePassword));
    json.key("hidePassword"), json.value(flag(e.hidePassword));
    json.key("comment"), json.value(e.comment);
    json.key("lastPing"), json.value(e.lastPing);
    json.key("averagePing"), json.value(static_cast<double>(e.averagePing));
    json.key("reservedSlots"), json.value(e.reservedSlots);
    json.key("lastConnected"), json.value(e.lastConnected);
    json.key("infoTime"), json.value(e.infoTime);
    json.key("infoValid"), json.value(flag(e.infoValid));
    json.key("hostName"), json.value(e.hostName);
    json.key("map"), json.value(e.map);
    json.key("gameDir"), json.value(e.gameDir);
    json.key("gameDescription"), json.value(e.gameDescription);
    json.key("players"), json.value(static_cast<int>(e.players));
    json.key("maxPlayers"), json.value(static_cast<int>(e.maxPlayers));
    json.key("protocol"), json.value(static_cast<int>(e.protocol));
    json.key("serverType"), json.value(static_cast<int>(e.serverType));
    json.key("os"), json.value(static_cast<int>(e.os));
    json.key("passwordRequired"), json.value(static_cast<int>(e.passwordRequired));
    json.key("isMod"), json.value(static_cast<int>(e.isMod));
    json.key("rulesTime"), json.value(e.rulesTime);
    json.key("rulesValid"), json.value(flag(e.rulesValid));
    json.key("rules");
    json.beginArray();
    for (const auto& rule : e.rules) {
        json.beginObject();
        json.key("name"), json.value(rule.name);
        json.key("value"), json.value(rule.value);
        json.endObject();
    }
    json.endArray();
    json.key("timeLeft"), json.value(e.timeLeft);
    json.key("timeLimit"), json.value(e.timeLimit);
    json.key("adminModVersion"), json.value(e.adminModVersion);
    json.key("friendlyFire"), json.value(e.friendlyFire);
    json.key("reserveSlots"), json.value(e.reserveSlots);
    json.key("playersTime"), json.value(e.playersTime);
    json.key("playerList");
    json.beginArray();
    for (const auto& player : e.playerList) {
        json.beginObject();
        json.key("index"), json.value(static_cast<int>(player.index));
        json.key("name"), json.value(player.name);
        json.key("frags"), json.value(player.frags);
        json.key("time"), json.value(player.time);
        json.endObject();
    }
    json.endArray();
    if (extraFields)
        extraFields(json);
    json.endObject();
}

std::string entryText(const ServerEntry& e) {
    using text::format;
    auto t = [](const std::string& s) { return text::visible(s); };
    std::string out;
    out += format("address: %s\n", t(addressText(e.address)).c_str());
    out += format("hostName: %s\n", t(e.hostName).c_str());
    out += format("map: %s\n", t(e.map).c_str());
    out += format("gameDir: %s\n", t(e.gameDir).c_str());
    out += format("gameDescription: %s\n", t(e.gameDescription).c_str());
    out += format("players: %d/%d\n", e.players, e.maxPlayers);
    out += format("protocol: %d  serverType: %d  os: %d  passwordRequired: %d  isMod: %d\n",
                  e.protocol, e.serverType, e.os, e.passwordRequired, e.isMod);
    out += format("password: %s  savePassword: %d  hidePassword: %d\n", t(e.password).c_str(),
                  e.savePassword, e.hidePassword);
    out += format("comment: %s\n", t(e.comment).c_str());
    out +=
        format("lastPing: %d  averagePing: %.1f\n", e.lastPing, static_cast<double>(e.averagePing));
    out += format("reservedSlots: %d  lastConnected: %lld\n", e.reservedSlots,
                  static_cast<long long>(e.lastConnected));
    out += format(
        "infoValid: %d  infoTime: %lld  rulesValid: %d  rulesTime: %lld  playersTime: %lld\n",
        e.infoValid, static_cast<long long>(e.infoTime), e.rulesValid,
        static_cast<long long>(e.rulesTime), static_cast<long long>(e.playersTime));
    out += format("timeLeft: %d  timeLimit: %d  friendlyFire: %d  reserveSlots: %d\n", e.timeLeft,
                  e.timeLimit, e.friendlyFire, e.reserveSlots);
    out += format("adminModVersion: %s\n", t(e.adminModVersion).c_str());
    out += format("rules: %zu\n", e.rules.size());
    for (const auto& rule : e.rules)
        out += format("  %s = %s\n", t(rule.name).c_str(), t(rule.value).c_str());
    out += format("playerList: %zu\n", e.playerList.size());
    for (const auto& p : e.playerList)
        out += format("  %3d  %-32s %6d %6d\n", p.index, t(p.name).c_str(), p.frags, p.time);
    return out;
}

} // namespace ondel::cli
