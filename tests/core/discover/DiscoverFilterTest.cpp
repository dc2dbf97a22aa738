// The request for the Steam server list: the filter text and the URL.
#include "discover/DiscoverFilter.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(DiscoverFilter, GameFolderOptionsAndRefusedTexts) {
    struct Case {
        DiscoverFilter filter;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {{"cstrike", "", false, false, 100}, R"(\appid\10)"},
        {{"CZeroR", "", false, false, 100}, R"(\appid\100)"},
        {{"bshift", "de_dust2", true, true, 100}, R"(\appid\130\map\de_dust2\empty\1\full\1)"},
        {{"valve", "", false, false, 100}, R"(\appid\70\gamedir\valve)"},
        {{"ns", "ns_eclipse", false, true, 100}, R"(\appid\70\gamedir\ns\map\ns_eclipse\full\1)"},
        {{"", "", true, false, 100},
         R"(\or\10\appid\10\appid\20\appid\30\appid\40\appid\50\appid\60\appid\70)"
         R"(\appid\80\appid\100\appid\130\empty\1)"},
        // A backslash or control character would add conditions of its own.
        {{"cstrike", R"(x\secure\0)", false, false, 100}, std::nullopt},
        {{"ns\\password\\1", "", false, false, 100}, std::nullopt},
        {{"cstrike", "de_\ndust", false, false, 100}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(buildFilter(c.filter), c.expected) << c.filter.gameDir << " " << c.filter.map;
}

TEST(DiscoverFilter, UrlEncodesEverythingAndClampsTheLimit) {
    DiscoverFilter f{"cstrike", "de_dust2", false, false, 50000};
    EXPECT_EQ(serverListUrl("http://127.0.0.1:8080//", "A b&c=d+%", f),
              "http://127.0.0.1:8080/IGameServersService/GetServerList/v1/"
              "?key=A%20b%26c%3Dd%2B%25&filter=%5Cappid%5C10%5Cmap%5Cde_dust2&limit=10000");
    f.limit = 0;
    EXPECT_TRUE(serverListUrl("https://api.example", "k", f).ends_with("&limit=1"));
    for (const char* bad : {"ftp://host", "file:///etc/passwd", "api.example", "", "http://h/?x",
                            "http://h/#f", "http://a b"})
        EXPECT_EQ(serverListUrl(bad, "k", f), "") << bad;
    f.map = "a\\b";
    EXPECT_EQ(serverListUrl("http://h", "k", f), "");
}
