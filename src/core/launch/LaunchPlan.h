#pragma once

#include "serverlist/ServerEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

class SettingsStore;

// How the game is started: the client in the Half-Life folder, or through the Steam program
// (which on today's systems the game needs running anyway).
enum class LaunchMethod { Direct, Steam };

// The launch settings of the "Settings" subkey as the launcher and the settings dialog use them.
struct LaunchSettings {
    std::string hlDir; // directory of the game client, no trailing separator
    std::string parameters = "-console";
    std::int32_t connectionExit = 0; // non-zero: end the program once the game has started
    LaunchMethod method = LaunchMethod::Direct;
    std::string steamCommand = "steam"; // read only: set by hand in the settings file
};

// Reads the values (defaults when missing; a LaunchMethod other than "steam" is direct). With
// neither a LaunchMethod nor a Half-Life folder stored (a first start), the game is started
// through Steam when the Steam command is found in pathList (see commandFound), else directly.
// Called on the GUI thread at every launch.
LaunchSettings readLaunchSettings(const SettingsStore& store, std::string_view pathList);
// As above with this process's PATH.
LaunchSettings readLaunchSettings(const SettingsStore& store);

// Whether command can be run: a command that holds a path separator is that file; a bare name
// is looked for in each folder of pathList (folders as PATH separates them; empty entries are
// passed over). Only an executable regular file counts.
bool commandFound(std::string_view command, std::string_view pathList);
// Writes HLDir, ConnectionExit, Parameters in this order, then LaunchMethod.
void writeLaunchSettings(SettingsStore& store, const LaunchSettings& values);

// Steam's app id for a game folder, matched without regard to case: cstrike 10, tfc 20, dod 30,
// dmc 40, gearbox 50, ricochet 60, valve 70, czero 80, czeror 100, bshift 130; 0 for any other.
int steamAppId(std::string_view gameDir);

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

// A name a server announces (game folder, map) that is fit to reach a command line or a file
// path: 1 to 63 bytes of ASCII letters, digits, '_', '-' and '.', not starting with '-' or '+',
// without "..". The game takes "+word" arguments as console commands, so nothing else may pass.
inline constexpr std::size_t kMaxFolderNameLength = 63;
bool isPlainFolderName(std::string_view name);

// Builds the plan for the server entry by settings.method. Direct: the client in hlDir with
// "-game <gameDir>" for a mod, "+connect host:port", "+password <password>" when the server
// requires one (also when it is empty), then the words of settings.parameters. Steam: the
// steamCommand (or "steam" when empty) with "-applaunch <app id of gameDir>", then for a game
// folder without an app id "-game <gameDir>" under Half-Life's 70, then the same "+connect",
// "+password" and parameters. The limits apply to the arguments of either. A game folder that is
// not a plain folder name, or a host that is not a plain host text, refuses the launch. Does not
// look at infoValid (the caller refuses that case first).
LaunchPlan buildLaunchPlan(const ServerEntry& server, const LaunchSettings& settings);

} // namespace ondel
