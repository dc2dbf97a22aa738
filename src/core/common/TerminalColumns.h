#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ondel::text {

// How many terminal cells the valid UTF-8 text takes: East Asian wide and full-width characters
// (CJK, Hangul, full-width forms, most emoji) take two, combining marks, zero-width characters
// and variation selectors none, everything else one. A byte that starts no valid sequence
// counts as one cell.
std::size_t displayWidth(std::string_view utf8);

// utf8 cut to at most width cells (never inside a character) and padded with blanks to exactly
// width cells: one column of a table. A wide character that would straddle the edge is left out
// and its cell padded.
std::string fitColumn(std::string_view utf8, std::size_t width);

} // namespace ondel::text
