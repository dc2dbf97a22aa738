#include "common/TerminalColumns.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(TerminalColumns, WidthCountsCellsNotBytes) {
    struct Case {
        const char* text;
        std::size_t cells;
    } cases[] = {
        {"", 0},
        {"de_dust2", 8},
        {"K\xC3\xA4se", 4},              // ä: two bytes, one cell
        {"\xE4\xB8\xAD\xE6\x96\x87", 4}, // two CJK ideographs: two cells each
        {"e\xCC\x81", 1},                // e + combining acute
        {"\xF0\x9F\x98\x80!", 3},        // an emoji takes two
        {"\xFF\xC3", 2},                 // broken bytes count one each
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::displayWidth(c.text), c.cells) << c.text;
}

TEST(TerminalColumns, FitColumnCutsAndPadsToExactlyTheWidth) {
    struct Case {
        const char* text;
        std::size_t width;
        const char* fitted;
    } cases[] = {
        {"abc", 5, "abc  "},
        {"abcdef", 4, "abcd"},
        {"K\xC3\xA4se", 5, "K\xC3\xA4se "},
        {"\xE4\xB8\xAD\xE6\x96\x87", 3, "\xE4\xB8\xAD "}, // the second would straddle the edge
        {"ab\xCC\x81", 2, "ab\xCC\x81"},                  // a mark stays with its letter
        {"", 2, "  "},
    };
    for (const auto& c : cases) {
        const std::string out = text::fitColumn(c.text, c.width);
        EXPECT_EQ(out, c.fitted) << c.text;
        EXPECT_EQ(text::displayWidth(out), c.width) << c.text;
    }
}
