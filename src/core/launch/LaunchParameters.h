#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// Splits a parameter text into arguments. Blanks (0x20) outside double quotes separate words;
// a double quote toggles quoting and is dropped; tabs are ordinary characters. Several blanks in
// a row give no empty argument, and a word still open inside quotes at the end is dropped.
// Every word returned is non-empty and holds no double quote.
std::vector<std::string> splitParameters(std::string_view text);

// Joins words with single blanks, writing a word that contains a blank between double quotes.
// splitParameters(joinParameters(words)) == words for every list splitParameters can produce.
std::string joinParameters(const std::vector<std::string>& words);

} // namespace ondel
