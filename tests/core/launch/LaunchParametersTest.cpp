#include "launch/LaunchParameters.h"

#include <gtest/gtest.h>

#include <random>

using namespace ondel;
using Words = std::vector<std::string>;

TEST(LaunchParameters, SplitSeparatesAtBlanksOutsideQuotes) {
    struct Case {
        const char* text;
        Words words;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"-console", {"-console"}},
        {"-console  -win", {"-console", "-win"}}, // two blanks: no empty argument
        {"  -a   -b  ", {"-a", "-b"}},
        {"\"+name my player\" -win", {"+name my player", "-win"}},
        {"a\"b c\"d", {"ab cd"}},    // quotes inside a word join it
        {"\"\" x", {"x"}},           // an empty quoted word gives nothing
        {"-a\t-b", {"-a\t-b"}},      // tabs do not separate
        {"-a \"open group", {"-a"}}, // unbalanced quote drops the open word
        {"-a \"open\" \"", {"-a", "open"}},
        {"x\"", {}}, // the open word is dropped whole
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitParameters(c.text), c.words) << "text: [" << c.text << "]";
}

TEST(LaunchParameters, JoinQuotesOnlyWordsWithBlanks) {
    EXPECT_EQ(joinParameters({}), "");
    EXPECT_EQ(joinParameters({"-console", "-win"}), "-console -win");
    EXPECT_EQ(joinParameters({"-win", "+name my player"}), "-win \"+name my player\"");
    EXPECT_EQ(joinParameters({"a\tb"}), "a\tb");
}

// Every text over a small alphabet up to length 7: whatever split makes of it, joining and
// splitting again gives the same words, and the words are never empty and never hold a quote.
TEST(LaunchParameters, JoinIsTheInverseOfSplitOverAllShortTexts) {
    const char alphabet[] = {'a', ' ', '"', '\t', 'b'};
    std::string text;
    std::size_t checked = 0;
    for (int length = 0; length <= 7; ++length) {
        std::vector<int> digits(static_cast<std::size_t>(length), 0);
        while (true) {
            text.clear();
            for (int d : digits)
                text.push_back(alphabet[d]);
            Words words = splitParameters(text);
            for (const auto& w : words) {
                ASSERT_FALSE(w.empty()) << "[" << text << "]";
                ASSERT_EQ(w.find('"'), std::string::npos) << "[" << text << "]";
            }
            ASSERT_EQ(splitParameters(joinParameters(words)), words) << "[" << text << "]";
            ++checked;
            std::size_t i = 0;
            while (i < digits.size() && ++digits[i] == 5)
                digits[i++] = 0;
            if (i == digits.size())
                break;
        }
    }
    EXPECT_EQ(checked, 97656u); // 5^0 + ... + 5^7: the sweep really ran
}

TEST(LaunchParameters, SplitOfJoinGivesBackRandomWordLists) {
    std::mt19937 rng(7130);
    const std::string chars = "ab -+\t\xE4.";
    for (int round = 0; round < 5000; ++round) {
        Words words(rng() % 6);
        for (auto& w : words) {
            std::size_t n = 1 + rng() % 8;
            for (std::size_t i = 0; i < n; ++i)
                w.push_back(chars[rng() % chars.size()]);
        }
        ASSERT_EQ(splitParameters(joinParameters(words)), words) << joinParameters(words);
    }
}
