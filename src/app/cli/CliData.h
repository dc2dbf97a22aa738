#pragma once

#include "browser/Blocklist.h"
#include "settings/SettingsKeys.h"

#include <memory>
#include <string>

namespace ondel {
class CountryLookup;
}

namespace ondel::cli {

// A text value of the settings file the window writes (ONDEL_SETTINGS, else the XDG place), or
// the value's default when the file or the value is missing.
std::string settingsText(const settings::TextValue& value);

// blocklist.txt of the data folder; damaged lines are reported on stderr as "ondel-cli
// COMMAND: FILE:LINE: ...".
Blocklist loadBlocklist(const std::string& dataFolder, const char* command);

// The country database as the environment, the settings and the usual places give it, opened;
// nullptr when there is none. A database that was named but cannot be opened is reported on
// stderr; scanning goes on without countries.
std::unique_ptr<CountryLookup> openCountryLookup(const std::string& dataFolder,
                                                 const char* command);

} // namespace ondel::cli
