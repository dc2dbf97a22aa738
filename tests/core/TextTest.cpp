#include "common/Text.h"
#include "common/JsonWriter.h"
#include "common/Utf8.h"

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
