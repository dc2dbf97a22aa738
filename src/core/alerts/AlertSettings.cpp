#include "alerts/AlertSettings.h"

#include "browser/Scan.h"
#include "serverlist/ServerAddress.h"
#include "serverlist/ServerEntry.h"
#include "settings/SettingsKeys.h"

#include <sstream>

namespace ondel {

namespace {

// Value names are the list's name or the server's address in hex: the store gives '/' and
// other characters meanings of its own.
std::string valueName(const char* kind, const std::string& key) {
    static const char* digits = "0123456789abcdef";
    std::string name = kind;
    for (unsigned char c : key) {
        name += digits[c >> 4];
        name += digits[c & 15];
    }
    return name;
}

std::optional<AlertChoice> readChoice(const SettingsStore& store, const std::string& name) {
    return alertChoiceFromText(store.readString(settings::kAlerts, name));
}

void writeChoice(SettingsStore& store, const std::string& name,
                 const std::optional<AlertChoice>& choice) {
    store.writeString(settings::kAlerts, name, choice ? alertChoiceText(*choice) : std::string());
}

// A whole decimal number in [0, max].
std::optional<int> number(const std::string& text, int max) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != text.npos)
        return std::nullopt;
    const int value = std::stoi(text);
    return value <= max ? std::optional<int>(value) : std::nullopt;
}

} // namespace

AlertRules alertRules(const AlertChoice& choice, const std::vector<std::string>& watchList) {
    AlertRules rules;
    rules.downAfter = choice.downAfter;
    rules.playersAtLeast = choice.playersAtLeast;
    rules.playersAtMost = choice.playersAtMost;
    rules.mapChanges = choice.mapChanges;
    if (choice.watchedPlayers)
        rules.watchedPlayers = watchList;
    return rules;
}

std::string alertChoiceText(const AlertChoice& choice) {
    std::string text = "down=" + std::to_string(choice.downAfter);
    if (choice.playersAtLeast)
        text += " at-least=" + std::to_string(*choice.playersAtLeast);
    if (choice.playersAtMost)
        text += " at-most=" + std::to_string(*choice.playersAtMost);
    if (choice.mapChanges)
        text += " map";
    if (choice.watchedPlayers)
        text += " player";
    return text;
}

std::optional<AlertChoice> alertChoiceFromText(const std::string& text) {
    AlertChoice choice;
    bool known = false;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const std::size_t equals = word.find('=');
        const std::string key = word.substr(0, equals);
        const std::string value = equals == word.npos ? std::string() : word.substr(equals + 1);
        std::optional<int> n;
        if (key == "down" && (n = number(value, kMaxDownAfter)))
            choice.downAfter = *n;
        else if (key == "at-least" && (n = number(value, kMaxAlertPlayers)))
            choice.playersAtLeast = n;
        else if (key == "at-most" && (n = number(value, kMaxAlertPlayers)))
            choice.playersAtMost = n;
        else if (word == "map")
            choice.mapChanges = true;
        else if (word == "player")
            choice.watchedPlayers = true;
        else
            continue;
        known = true;
    }
    return known ? std::optional<AlertChoice>(choice) : std::nullopt;
}

std::optional<AlertChoice> readListAlerts(const SettingsStore& store, const std::string& list) {
    return readChoice(store, valueName("List-", list));
}

void writeListAlerts(SettingsStore& store, const std::string& list,
                     const std::optional<AlertChoice>& choice) {
    writeChoice(store, valueName("List-", list), choice);
}

std::optional<AlertChoice> readServerAlerts(const SettingsStore& store, const std::string& server) {
    return readChoice(store, valueName("Server-", server));
}

void writeServerAlerts(SettingsStore& store, const std::string& server,
                       const std::optional<AlertChoice>& choice) {
    writeChoice(store, valueName("Server-", server), choice);
}

bool isWebhookUrl(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

std::string alertWebhook(const SettingsStore& store) {
    std::string url = settings::read(store, settings::kAlertWebhook);
    return isWebhookUrl(url) ? url : std::string();
}

std::string alertCommand(const SettingsStore& store) {
    return settings::read(store, settings::kAlertCommand);
}

void writeAlertTargets(SettingsStore& store, const std::string& webhook,
                       const std::string& command) {
    settings::write(store, settings::kAlertWebhook, webhook);
    settings::write(store, settings::kAlertCommand, command);
}

AlertObservation observationFromScan(const ScanResult& result) {
    AlertObservation seen = observationFromEntry(result.entry, result.gotPlayers);
    seen.server = addressText(result.address);
    seen.up = result.status == ScanResult::Status::Up;
    return seen;
}

AlertObservation observationFromEntry(const ServerEntry& entry, bool players) {
    AlertObservation seen;
    seen.server = addressText(entry.address);
    seen.up = true;
    seen.name = entry.hostName;
    seen.players = entry.players;
    seen.maxPlayers = entry.maxPlayers;
    seen.map = entry.map;
    seen.gotPlayers = players;
    if (players) {
        for (const auto& p : entry.playerList)
            seen.playerNames.push_back(p.name);
    }
    return seen;
}

AlertObservation missObservation(const std::string& server) {
    AlertObservation seen;
    seen.server = server;
    return seen;
}

} // namespace ondel
