#include "browser/ScanTargets.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(ScanTargets, TakesAddressesSkipsCommentsAndReportsBadLinesByNumber) {
    const std::string text = "# my servers\n"
                             "127.0.0.1:27015\r\n"
                             "\n"
                             "   \t\n"
                             "  127.0.0.2:27016\tnice one\n"
                             "   # indented comment\n"
                             "not an address\n"
                             "127.0.0.1:27015\n" // the same server again
                             "127.0.0.3:\n"
                             "127.0.0.3:0\n"
                             "127.0.0.3:65536\n"
                             "127.0.0.3\n"
                             "game.example.test:27017 # named\n"
                             "localhost:27015\n"
                             "127.0.0.4:27018"; // no final line end
    ScanTargets t = parseScanTargets(text);
    std::vector<std::string> got;
    for (const auto& a : t.addresses)
        got.push_back(addressText(a));
    EXPECT_EQ(got, (std::vector<std::string>{"127.0.0.1:27015", "127.0.0.2:27016",
                                             "game.example.test:27017", "127.0.0.4:27018"}));
    std::vector<std::size_t> badLines;
    for (const auto& b : t.bad)
        badLines.push_back(b.lineNumber);
    EXPECT_EQ(badLines, (std::vector<std::size_t>{7, 9, 10, 11, 12, 14}));
    EXPECT_EQ(t.bad[0].text, "not an address");
    EXPECT_EQ(t.duplicates, 1u);
}

TEST(ScanTargets, EmptyAndCommentOnlyTextsHoldNothing) {
    for (const char* text : {"", "\n\n", "# only\n#comments", "\r\n"}) {
        ScanTargets t = parseScanTargets(text);
        EXPECT_TRUE(t.addresses.empty()) << text;
        EXPECT_TRUE(t.bad.empty()) << text;
    }
}
