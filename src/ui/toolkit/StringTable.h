#pragma once

#include <optional>
#include <string>

namespace ondel {

// The program's numbered texts (the string table): messages, the program name and version, and
// the tooltips of the launch switches. Texts are UTF-8.
// Returns the text of entry id, or nothing when the table has no such entry.
std::optional<std::string> loadString(int id);

} // namespace ondel
