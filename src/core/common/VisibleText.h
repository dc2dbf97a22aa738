#pragma once

#include <string>
#include <string_view>

namespace ondel::text {

// Bytes from a server or a file made safe to print: toDisplayUtf8, then every control character
// (C0, DEL and the C1 range U+0080..U+009F, which terminals take as commands) becomes '?'.
// With Lines::Keep, newline and tab stay (text that is made of lines, such as console output).
enum class Lines { Keep, Replace };
std::string visible(std::string_view bytes, Lines lines = Lines::Replace);

} // namespace ondel::text
