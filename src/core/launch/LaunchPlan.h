#pragma once

#include "serverlist/ServerEntry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ondel {

class SettingsStore;

// The launch settings of the "Settings" subkey as the launcher and the settings dialog use them.
struct LaunchSettings {
    std::string hlDir; // directory of the game client, no trailing separator
    std::string parameters = "-console";
    std::int32_t connectionExit = 0; // non-zero: end the program once the game has started
};

// Reads the three values (defaults when missing). Called on the GUI thread at every launch.
LaunchSettings readLaunchSettings(const SettingsStore& store);
// Writes them in the order HLDir, ConnectionExit, Parameters.
void writeLaunchSettings(SettingsStore& store, const LaunchSettings& values);

// The game client's file name on this platform: the Windows client, or the native client's start
// script elsewhere.
const char* clientProgramName();

// hlDir, the platform's path separator and the client name. An empty hlDir gives the separator
// followed by the client name (the directory is never validated here; starting reports it).
std::string clientProgramPath(const std::string& hlDir);

// What the launcher starts: the program and its arguments (no program name in front), or the
// error text when the launch must be refused.
struct LaunchPlan {
    std::string program;
    std::vector<std::string> arguments;
    std::string error; // non-empty: do not launch; show this text
    bool ok() const { return error.empty(); }
};

// The game's argument list holds at most 63 arguments of at most 255 bytes each (64 slots of 256
// bytes with an end marker). A list beyond either limit refuses the launch instead of being cut,
// so the game never joins with half a password or a lost switch.
inline constexpr std::size_t kMaxLaunchArguments = 63;
inline constexpr std::size_t kMaxLaunchArgumentLength = 255;

// Builds the plan for the server entry: "-game <gameDir>" for a mod, "+connect host:port",
// "+password <password>" when the server requires one (also when it is empty), then the words
// of settings.parameters. Does not look at infoValid (the caller refuses that case first).
LaunchPlan buildLaunchPlan(const ServerEntry& server, const LaunchSettings& settings);

} // namespace ondel
