#include "common/Text.h"
#include "common/JsonWriter.h"
#include "common/Utf8.h"
#include "common/VisibleText.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(Text, FoldCompareFoldsOnlyAsciiLettersAndSortsPrefixesFirst) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    } cases[] = {
        {"abc", "ABC", 0},
        {"", "a", -1},
        {"ab", "abc", -1},
        {"b", "A", 1},
        {"_", "a", -1},       // '_' (0x5F) is below 'a' (0x61) once 'A' is folded
        {"\xC4", "\xE4", -1}, // bytes above 127 are not folded
        {"10.0.0.1:27015", "9.0.0.1:27015", -1},
    };
    for (const auto& c : cases) {
        int r = text::foldCompare(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
    }
}

TEST(Text, DisplayKeepsUtf8AndDecodesOtherBytesAsWindows1252) {
    EXPECT_EQ(text::toDisplayUtf8("gr\xC3\xBC\xC3\x9F"), "gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(text::toDisplayUtf8("M\xFCller \x80"), "M\xC3\xBCller \xE2\x82\xAC");
    EXPECT_EQ(text::toDisplayUtf8("\x81"), "\xEF\xBF\xBD");
    EXPECT_FALSE(text::isValidUtf8("\xC0\x80"));     // overlong NUL
    EXPECT_FALSE(text::isValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(text::isValidUtf8("\xE2\x82"));     // cut short
}

TEST(Text, AppendUtf8WritesEveryLengthAndReplacesNonCharacters) {
    const struct {
        char32_t cp;
        const char* utf8;
    } cases[] = {
        {0x41, "A"},
        {0x7FF, "\xDF\xBF"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"}, // past the Basic Multilingual Plane
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0xD83D, "\xEF\xBF\xBD"}, // a lone surrogate
        {0x110000, "\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        text::appendUtf8(out, c.cp);
        EXPECT_EQ(out, std::string("x") + c.utf8) << std::hex << static_cast<unsigned>(c.cp);
        EXPECT_TRUE(text::isValidUtf8(out));
    }
}

TEST(Text, ParseLeadingInt) {
    struct Case {
        const char* s;
        bool ok;
        int value;
    } cases[] = {
        {"20.000000", true, 20},
        {"  -5x", true, -5},
        {"+7", true, 7},
        {"abc", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"99999999999", true, 2147483647},
        {"-99999999999", true, -2147483647 - 1},
    };
    for (const auto& c : cases) {
        int v = 0;
        EXPECT_EQ(text::parseLeadingInt(c.s, v), c.ok) << c.s;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.s;
        }
    }
}

TEST(Text, CutNeverSplitsAUtf8Sequence) {
    EXPECT_EQ(text::cutUtf8("ab\xE2\x82\xAC", 4), "ab");
    EXPECT_EQ(text::cutUtf8("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
    EXPECT_EQ(text::cutUtf8("abc", 2), "ab");
}

TEST(JsonWriter, EscapesControlCharactersAndDecodesBytes) {
    JsonWriter json(false);
    json.beginObject();
    json.key("n");
    json.value(std::string_view("a\"\\\n\x01\xE9", 6));
    json.key("list");
    json.beginArray();
    json.value(1);
    json.value(0.0 / 0.0);
    json.endArray();
    json.endObject();
    EXPECT_EQ(json.text(), "{\"n\":\"a\\\"\\\\\\n\\u0001\xC3\xA9\",\"list\":[1,null]}");
}

TEST(Text, VisibleReplacesEveryControlAndKeepsLinesOnlyWhenAsked) {
    struct Case {
        std::string_view in;
        const char* oneLine;
        const char* lines;
    } cases[] = {
        {"plain \xC3\xA9 text", "plain \xC3\xA9 text", "plain \xC3\xA9 text"},
        {"\x1B]0;title\x07", "?]0;title?", "?]0;title?"},
        {"\x1B[2J", "?[2J", "?[2J"},
        {"\x1B]52;c;aGk=\x07", "?]52;c;aGk=?", "?]52;c;aGk=?"},
        {"a\nb\tc\rd", "a?b?c?d", "a\nb\tc?d"},
        {std::string_view("nul\0x\x7F", 6), "nul?x?", "nul?x?"},
        // C1 controls as UTF-8 (U+009B CSI, U+0085 NEL); U+00A0 is no control.
        {"\xC2\x9B"
         "31m\xC2\x85\xC2\xA0",
         "?31m?\xC2\xA0", "?31m?\xC2\xA0"},
        // Not UTF-8: decoded as Windows-1252, where 0x9B is a printable quote.
        {"x\x9B\x1B", "x\xE2\x80\xBA?", "x\xE2\x80\xBA?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::visible(c.in), c.oneLine) << c.in;
        EXPECT_EQ(text::visible(c.in, text::Lines::Keep), c.lines) << c.in;
    }
    JsonWriter json(false);
    json.value(std::string_view("\xC2\x9B"
                                "a\x1B"));
    EXPECT_EQ(json.text(), "\"\\u009ba\\u001b\"");
}
