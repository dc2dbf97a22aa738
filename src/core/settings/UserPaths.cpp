#include "UserPaths.h"

#include <cstdlib>

namespace ondel {

namespace {

// base/leaf when the XDG variable is an absolute path, else home/fallback/leaf; empty when
// neither is usable.
std::string xdgPath(const char* xdgHome, const char* home, const char* fallback, const char* leaf) {
    if (xdgHome && xdgHome[0] == '/')
        return std::string(xdgHome) + "/" + leaf;
    if (home && *home)
        return std::string(home) + "/" + fallback + "/" + leaf;
    return {};
}

} // namespace

std::string userDataFolder(const char* xdgDataHome, const char* home) {
    return xdgPath(xdgDataHome, home, ".local/share", "Ondel");
}

std::string userDataFolder() {
    return userDataFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::string settingsFilePath(const char* settingsEnv, const char* xdgConfigHome, const char* home) {
    if (settingsEnv && *settingsEnv)
        return settingsEnv;
    return xdgPath(xdgConfigHome, home, ".config", "Ondel/Ondel.conf");
}

std::string settingsFilePath() {
    return settingsFilePath(std::getenv("ONDEL_SETTINGS"), std::getenv("XDG_CONFIG_HOME"),
                            std::getenv("HOME"));
}

} // namespace ondel
