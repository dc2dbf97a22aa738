#include "TerminalColumns.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace ondel::text {

namespace {

using Range = std::pair<char32_t, char32_t>;

// Zero-width code points: combining marks, zero-width space/joiners, variation selectors.
constexpr std::array<Range, 10> kZeroWidth{{
    {0x0300, 0x036F},
    {0x0483, 0x0489},
    {0x0591, 0x05BD},
    {0x0610, 0x061A},
    {0x064B, 0x065F},
    {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF},
    {0x200B, 0x200F},
    {0x20D0, 0x20FF},
    {0xFE00, 0xFE0F},
}};

// Wide and full-width code points (two cells in a terminal).
constexpr std::array<Range, 15> kWide{{
    {0x1100, 0x115F},   // Hangul Jamo initials
    {0x2E80, 0x303E},   // CJK radicals, punctuation
    {0x3041, 0x33FF},   // kana, CJK compatibility
    {0x3400, 0x4DBF},   // CJK extension A
    {0x4E00, 0x9FFF},   // CJK unified ideographs
    {0xA000, 0xA4CF},   // Yi
    {0xAC00, 0xD7A3},   // Hangul syllables
    {0xF900, 0xFAFF},   // CJK compatibility ideographs
    {0xFE30, 0xFE4F},   // CJK compatibility forms
    {0xFF00, 0xFF60},   // full-width forms
    {0xFFE0, 0xFFE6},   // full-width signs
    {0x1F300, 0x1F64F}, // pictographs, emoticons
    {0x1F900, 0x1F9FF}, // supplemental pictographs
    {0x20000, 0x2FFFD}, // CJK extension B and beyond
    {0x30000, 0x3FFFD},
}};

template <std::size_t N> bool within(const std::array<Range, N>& ranges, char32_t c) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [c](const Range& r) { return c >= r.first && c <= r.second; });
}

// Reads one character at s[i]: its length in bytes and its cells.
std::pair<std::size_t, std::size_t> next(std::string_view s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (len > s.size() - i)
        return {1, 1};
    char32_t c = len == 1 ? lead : lead & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return {1, 1};
        c = (c << 6) | (b & 0x3F);
    }
    if (within(kZeroWidth, c))
        return {len, 0};
    return {len, within(kWide, c) ? 2 : 1};
}

} // namespace

std::size_t displayWidth(std::string_view utf8) {
    std::size_t cells = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        auto [len, width] = next(utf8, i);
        cells += width;
        i += len;
    }
    return cells;
}

std::string fitColumn(std::string_view utf8, std::size_t width) {
    std::string out;
    std::size_t cells = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        auto [len, w] = next(utf8, i);
        if (cells + w > width)
            break;
        out.append(utf8.substr(i, len));
        cells += w;
        i += len;
    }
    out.append(width - cells, ' ');
    return out;
}

} // namespace ondel::text
