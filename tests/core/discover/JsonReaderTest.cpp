// The bounded JSON pull reader on valid, broken and hostile text.
#include "common/JsonReader.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ondel;

TEST(JsonReader, WalksADocument) {
    JsonReader json(R"( {"a": [1, -2.5e1, true, null, "x\"\\\/\n\u00e9\ud83d\ude00"], "b": {}} )");
    std::string key, text;
    double n = 0;
    bool flag = false;
    ASSERT_TRUE(json.beginObject());
    ASSERT_TRUE(json.nextMember(key));
    EXPECT_EQ(key, "a");
    ASSERT_TRUE(json.beginArray());
    ASSERT_TRUE(json.nextElement() && json.readNumber(n));
    EXPECT_EQ(n, 1);
    ASSERT_TRUE(json.nextElement() && json.readNumber(n));
    EXPECT_EQ(n, -25);
    ASSERT_TRUE(json.nextElement() && json.readBool(flag));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(json.nextElement() && json.readNull());
    ASSERT_TRUE(json.nextElement() && json.readString(text));
    EXPECT_EQ(text, "x\"\\/\n\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_FALSE(json.nextElement());
    ASSERT_TRUE(json.nextMember(key));
    EXPECT_TRUE(json.skipValue());
    EXPECT_FALSE(json.nextMember(key));
    EXPECT_TRUE(json.ok());
    EXPECT_TRUE(json.atEnd());
}

TEST(JsonReader, LoneSurrogatesBecomeReplacementCharacters) {
    JsonReader json(R"("\ud800x\udc00\ud800\u0041")");
    std::string text;
    ASSERT_TRUE(json.readString(text));
    EXPECT_EQ(text, "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD"
                    "A");
}

TEST(JsonReader, BrokenTextFailsWithoutReadingFurther) {
    const char* broken[] = {
        "",    "{",          "[1,]",  "[1 2]",        "{\"a\" 1}", "{\"a\":}",
        "{,}", "{\"a\":1,}", "\"abc", "\"a\x01\"",    "\"\\x\"",   "\"\\u12g4\"",
        "01",  "1.",         "-",     "1e",           "tru",       "nul",
        "[}",  "{]",         "{1:2}", "\"\\ud800\\u", "[1]x",      "inf",
    };
    for (const char* text : broken) {
        JsonReader json(text);
        bool skipped = json.skipValue();
        EXPECT_FALSE(skipped && json.atEnd()) << text;
        if (!json.ok()) {
            EXPECT_FALSE(json.error().empty()) << text;
            std::string s;
            EXPECT_FALSE(json.readString(s)); // failure is sticky
        }
    }
}

TEST(JsonReader, DeepNestingFailsInsteadOfOverflowingTheStack) {
    std::string deep(1000000, '[');
    JsonReader json(deep);
    EXPECT_FALSE(json.skipValue());
    EXPECT_EQ(json.error(), "nested too deeply");

    std::string fine = std::string(64, '[') + std::string(64, ']');
    JsonReader ok(fine);
    EXPECT_TRUE(ok.skipValue() && ok.atEnd());
    std::string over = std::string(65, '[') + std::string(65, ']');
    JsonReader tooDeep(over);
    EXPECT_FALSE(tooDeep.skipValue());
}

TEST(JsonReader, NumbersOutOfRangeAreInfinityOrZeroNeverGarbage) {
    double n = 1;
    JsonReader big("1e999");
    ASSERT_TRUE(big.readNumber(n));
    EXPECT_TRUE(std::isinf(n) && n > 0);
    JsonReader small("-1e-999");
    ASSERT_TRUE(small.readNumber(n));
    EXPECT_EQ(n, 0);
}
