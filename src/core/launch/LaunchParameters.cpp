#include "LaunchParameters.h"

namespace ondel {

std::vector<std::string> splitParameters(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ' ' && !quoted) {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    // The blank that follows the text ends the last word, unless a quote is still open: then
    // the word is incomplete and dropped.
    if (!quoted && !word.empty())
        words.push_back(std::move(word));
    return words;
}

std::string joinParameters(const std::vector<std::string>& words) {
    std::string out;
    bool first = true;
    for (const std::string& word : words) {
        if (!first)
            out.push_back(' ');
        first = false;
        if (word.find(' ') != std::string::npos) {
            out.push_back('"');
            out += word;
            out.push_back('"');
        } else {
            out += word;
        }
    }
    return out;
}

} // namespace ondel
