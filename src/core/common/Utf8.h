#pragma once

#include <string>

namespace ondel::text {

// Appends the UTF-8 bytes of one code point (1 to 4 bytes). A surrogate or a value past
// U+10FFFF has no UTF-8 form and becomes U+FFFD.
void appendUtf8(std::string& out, char32_t cp);

} // namespace ondel::text
