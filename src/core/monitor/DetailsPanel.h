#pragma once

#include "serverlist/ServerEntry.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace ondel {

// The texts and warning colours of the "Server details" group and the "Ping:" field, computed
// from the window's working copy of the current server. All texts are UTF-8 for display (server
// bytes go through text::toDisplayUtf8) and are meant to be shown as plain text.
struct DetailsPanelTexts {
    std::string hostName;      // 1012
    std::string lastConnected; // 1025
    std::string game;          // 1015
    std::string players;       // 1007
    std::string map;           // 1013
    std::string password;      // 1014 "PW:"
    std::string type;          // 1017
    std::string adminMod;      // 1019
    std::string friendlyFire;  // 1021
    std::string timeLimit;     // 1023
    std::string timeLeft;      // 1024
    std::string ping;          // 1002
    bool gameRed = false;      // the game directory is missing below the Half-Life directory
    bool mapRed = false;       // the map file is missing there
    bool passwordRed = false;  // the server wants a password and none is stored
};

// Converts seconds since 1970 to the local broken-down time; false when it cannot.
using LocalTimeFn = bool (*)(std::int64_t unixSeconds, std::tm& out);
// The process's local time zone (std::localtime; GUI thread only, it is not reentrant).
bool systemLocalTime(std::int64_t unixSeconds, std::tm& out);

// hlDir is the Half-Life directory of the launch settings as stored ("HLDir"); the game and map
// checks test D/G and D/G/maps/M.bsp on the file system at every call.
DetailsPanelTexts computeDetailsPanel(const ServerEntry& entry, const std::string& hlDir,
                                      LocalTimeFn localTime = &systemLocalTime);

// "Linux", "Windows" or "Unkown (x)"; the byte comes from the info reply.
std::string osText(std::uint8_t os);
// "Listen", "Dedicated" or "Unkown (x)".
std::string serverTypeText(std::uint8_t serverType);
// " (1 slot reserved)", " (3 slots reserved)", or empty for 0.
std::string reservedSlotsSuffix(std::int32_t reserveSlots);
// "%d:%02d" of minutes and seconds, both truncated toward zero (so -1 gives "0:-1").
std::string timeLeftText(std::int32_t timeLeft, const std::string& gameDir);
// "%d (%.1f)" of the last and the average round trip, or "Timeout" from 3000 ms on.
std::string pingText(std::int32_t lastPing, float averagePing);
// "07 Dec 01   21:05:09" in local time with English month names, or "-" for 0.
std::string lastConnectedText(std::int64_t lastConnected, LocalTimeFn localTime = &systemLocalTime);

} // namespace ondel
