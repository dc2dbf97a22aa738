#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ondel {

// Reading the settings INI file without Qt (for ondel-cli): the file the window writes through
// QSettings, with groups "[Settings]" and "[Master Server]" (written "[Master%20Server]").

// The value of name in group of the INI text: the rest of the line after '=', blanks around it
// dropped; a value in double quotes loses them and its \" \\ escapes. Empty optional when the
// group or the name is missing. Group and value names are matched as written.
std::optional<std::string> iniValue(std::string_view text, std::string_view group,
                                    std::string_view name);

// iniValue on the file at path (read up to 1 MiB). Empty optional when it cannot be read.
std::optional<std::string> readIniFileValue(const std::string& path, std::string_view group,
                                            std::string_view name);

} // namespace ondel
