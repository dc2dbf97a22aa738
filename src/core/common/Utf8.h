#pragma once

#include <string>

namespace ondel::text {

// Appends the UTF-8 bytes of one code point (1 to 4 bytes). The caller passes a valid code
// point (no surrogate, at most U+10FFFF).
void appendUtf8(std::string& out, char32_t cp);

} // namespace ondel::text
