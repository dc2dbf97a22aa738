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

TEST(Text, AppendUtf8WritesOneToFourBytes) {
    const struct {
        char32_t cp;
        std::string bytes;
    } cases[] = {{U'A', "A"},
                 {0xE9, "\xC3\xA9"},
                 {0x20AC, "\xE2\x82\xAC"},
                 {0x1F600, "\xF0\x9F\x98\x80"},
                 {0x10FFFF, "\xF4\x8F\xBF\xBF"}};
    for (const auto& c : cases) {
        std::string out;
        ondel::text::appendUtf8(out, c.cp);
        EXPECT_EQ(out, c.bytes) << static_cast<unsigned>(c.cp);
    }
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
