#include "CliData.h"

#include "common/Text.h"
#include "geoip/MaxMindCountryLookup.h"
#include "settings/IniFile.h"
#include "settings/UserPaths.h"

#include <cstdio>

namespace ondel::cli {

std::string settingsText(const settings::TextValue& value) {
    const std::string path = settingsFilePath();
    if (path.empty())
        return value.def;
    return readIniFileValue(path, value.subkey, value.name).value_or(value.def);
}

Blocklist loadBlocklist(const std::string& dataFolder, const char* command) {
    const std::string path =
        (dataFolder.empty() ? std::string(".") : dataFolder) + "/blocklist.txt";
    std::string error;
    Blocklist list = Blocklist::load(path, &error);
    const std::string shown = text::toDisplayUtf8(path);
    if (!error.empty())
        std::fprintf(stderr, "ondel-cli %s: %s %s; no server is blocked\n", command, shown.c_str(),
                     error.c_str());
    for (const auto& bad : list.badLines())
        std::fprintf(stderr, "ondel-cli %s: %s:%zu: not a blocklist entry, skipped: %s\n", command,
                     shown.c_str(), bad.lineNumber, text::toDisplayUtf8(bad.text).c_str());
    return list;
}

std::unique_ptr<CountryLookup> openCountryLookup(const std::string& dataFolder,
                                                 const char* command) {
    return openCountryDatabase(settingsText(settings::kGeoIpDatabase), dataFolder,
                               std::string("ondel-cli ") + command);
}

} // namespace ondel::cli
