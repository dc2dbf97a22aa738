#pragma once

#include "alerts/AlertTracker.h"

#include <optional>
#include <string>
#include <vector>

namespace ondel {

class SettingsStore;
struct ScanResult;
struct ServerEntry;

// What the user chose for a server list or for one server of it, as the settings keep it.
struct AlertChoice {
    int downAfter = 3; // misses in a row; 0: no down and up alerts
    std::optional<int> playersAtLeast;
    std::optional<int> playersAtMost;
    bool mapChanges = false;
    bool watchedPlayers = false; // the names come from the player watch list
    bool operator==(const AlertChoice&) const = default;
};

inline constexpr int kMaxDownAfter = 1000;
inline constexpr int kMaxAlertPlayers = 100000;

// The tracker's rules for a choice; watchList: the player watch's names.
AlertRules alertRules(const AlertChoice& choice, const std::vector<std::string>& watchList);

// "down=3 at-least=10 at-most=2 map player": the words of the choices made. Reading skips words
// it does not know and numbers out of range (the default stays); a text without one word it
// knows is no choice at all.
std::string alertChoiceText(const AlertChoice& choice);
std::optional<AlertChoice> alertChoiceFromText(const std::string& text);

// The choices in the settings ("Alerts" subkey): per list by its name and per server by its
// "HOST:PORT"; nothing written means no alerts there.
std::optional<AlertChoice> readListAlerts(const SettingsStore& store, const std::string& list);
void writeListAlerts(SettingsStore& store, const std::string& list,
                     const std::optional<AlertChoice>& choice);
std::optional<AlertChoice> readServerAlerts(const SettingsStore& store, const std::string& server);
void writeServerAlerts(SettingsStore& store, const std::string& server,
                       const std::optional<AlertChoice>& choice);

// An http:// or https:// address.
bool isWebhookUrl(const std::string& url);
// Where every alert of the window program also goes: the webhook (only an http or https
// address is taken) and the command; empty: nowhere.
std::string alertWebhook(const SettingsStore& store);
std::string alertCommand(const SettingsStore& store);
void writeAlertTargets(SettingsStore& store, const std::string& webhook,
                       const std::string& command);

// What a scan read of a server, and what the monitor holds after a reply (players: the reply
// was the player list).
AlertObservation observationFromScan(const ScanResult& result);
AlertObservation observationFromEntry(const ServerEntry& entry, bool players);
AlertObservation missObservation(const std::string& server);

} // namespace ondel
