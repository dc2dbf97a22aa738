#pragma once

#include <string>
#include <string_view>

namespace ondel::text {

// Compares two byte texts with A-Z folded to a-z, byte by byte (as unsigned); a prefix sorts
// first. Returns <0, 0 or >0.
int foldCompare(std::string_view a, std::string_view b);

bool isValidUtf8(std::string_view bytes);

// Bytes from a server or a file as UTF-8 for display: kept when they already are valid UTF-8,
// otherwise decoded as Windows-1252 (the code page the texts were typed in).
std::string toDisplayUtf8(std::string_view bytes);

// Reads a signed decimal number from the start of s: leading blanks skipped, an optional sign,
// digits; reading stops at the first other character. Returns false when no digit was read.
// Values beyond int32 saturate.
bool parseLeadingInt(std::string_view s, int& out);

// printf-style formatting into a std::string.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Cuts s to at most maxBytes bytes without splitting a UTF-8 sequence.
std::string cutUtf8(std::string_view s, std::size_t maxBytes);

} // namespace ondel::text
