#pragma once

#include <string>

namespace ondel {

// Where the program keeps its files for this user: the one answer for the window and ondel-cli.
// The XDG base-directory rules hold: a variable that is unset, empty or not an absolute path is
// ignored and the default under the home folder is used.

// $XDG_DATA_HOME/Ondel, else $HOME/.local/share/Ondel; empty when neither is usable. The
// folder is not made here.
std::string userDataFolder(const char* xdgDataHome, const char* home);
// The same from this process's environment.
std::string userDataFolder();

// The settings file: settingsEnv (ONDEL_SETTINGS) when set and not empty, as given; else
// $XDG_CONFIG_HOME/Ondel/Ondel.conf, else $HOME/.config/Ondel/Ondel.conf. Empty when none of
// them is usable.
std::string settingsFilePath(const char* settingsEnv, const char* xdgConfigHome, const char* home);
// The same from this process's environment.
std::string settingsFilePath();

} // namespace ondel
