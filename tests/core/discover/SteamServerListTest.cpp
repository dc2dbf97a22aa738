// Reading the Steam Web API's server list reply, and what a search makes of the HTTP answer.
#include "discover/SteamServerList.h"
#include "discover/Discovery.h"
#include "settings/IniFile.h"

#include <gtest/gtest.h>

using namespace ondel;

namespace {

const std::string kRealShaped =
    R"({"response":{"servers":[{"addr":"1.2.3.4:27015","gameport":27015,"steamid":"90071996842377216",)"
    R"("name":"Dust \u00e9 \"24/7\"","appid":10,"gamedir":"cstrike","version":"1.1.2.7/Stdio",)"
    R"("product":"cstrike","region":255,"players":5,"max_players":32,"bots":1,"map":"de_dust2",)"
    R"("secure":true,"dedicated":true,"os":"l","gametype":""},)"
    R"({"addr":"5.6.7.8:27016","gameport":27015,"name":"B","players":0,"max_players":10,)"
    R"("secure":false,"dedicated":false,"os":"w","future":{"nested":[1,{"x":null}]}}]}})";

} // namespace

TEST(SteamServerList, ReadsARealShapedReply) {
    auto reply = parseServerListReply(kRealShaped);
    ASSERT_TRUE(reply.ok) << reply.error;
    ASSERT_EQ(reply.servers.size(), 2u);
    const SteamServer& a = reply.servers[0];
    EXPECT_EQ(a.address, (ServerAddress{"1.2.3.4", 27015}));
    EXPECT_EQ(a.name, "Dust \xC3\xA9 \"24/7\"");
    EXPECT_EQ(a.map, "de_dust2");
    EXPECT_EQ(a.gameDir, "cstrike");
    EXPECT_EQ(a.version, "1.1.2.7/Stdio");
    EXPECT_EQ(a.os, "l");
    EXPECT_EQ(a.appId, 10);
    EXPECT_EQ(a.players, 5);
    EXPECT_EQ(a.maxPlayers, 32);
    EXPECT_EQ(a.bots, 1);
    EXPECT_TRUE(a.secure && a.dedicated);
    // "gameport" is the port to query, whatever "addr" says.
    EXPECT_EQ(reply.servers[1].address, (ServerAddress{"5.6.7.8", 27015}));
    EXPECT_FALSE(reply.servers[1].dedicated);
}

TEST(SteamServerList, EmptyResponseIsAnEmptyList) {
    for (const char* body : {R"({"response":{}})", R"( {"response":{"servers":[]}} )"}) {
        auto reply = parseServerListReply(body);
        EXPECT_TRUE(reply.ok) << body;
        EXPECT_TRUE(reply.servers.empty());
    }
}

TEST(SteamServerList, RefusesWhatIsNoServerList) {
    const std::string refused[] = {
        "<html><head><title>Forbidden</title></head><body>Access is denied.</body></html>",
        "",
        "{}",
        R"({"response":[]})",
        R"({"response":{}} {})",
        std::string(kMaxServerListReplyBytes + 1, ' '),
    };
    for (const auto& body : refused) {
        auto reply = parseServerListReply(body);
        EXPECT_FALSE(reply.ok) << body.substr(0, 40);
        EXPECT_FALSE(reply.error.empty());
        EXPECT_TRUE(reply.servers.empty());
    }
    // Every cut of a real reply is refused, never taken for a shorter list.
    for (std::size_t n = 0; n < kRealShaped.size(); ++n)
        EXPECT_FALSE(parseServerListReply(kRealShaped.substr(0, n)).ok) << n;
}

TEST(SteamServerList, DropsUnusableAndRepeatedAddressesAndClampsHostileValues) {
    auto reply = parseServerListReply(
        R"({"response":{"servers":[)"
        R"({"addr":"169.254.3.4:27015"},{"addr":"0.0.0.0:27015"},{"addr":"0.1.2.3:27015"},)"
        R"({"addr":"host.example:27015"},{"addr":"1.2.3.4"},{"addr":"1.2.3.4:99999"},)"
        R"({"addr":"1.2.3.256:27015"},{"addr":"1.2.3.4:27015","gameport":-5},)"
        R"({"addr":"01.2.3.4x:1"},{"addr":7},[],"text",)"
        R"({"addr":"9.9.9.9:27015","players":-3,"max_players":1e300,"bots":"many",)"
        R"("name":12,"appid":-1,"secure":"yes"},)"
        R"({"addr":"9.9.9.9:27015","name":"repeat"},{"addr":"9.9.9.9:27016"}]}})");
    ASSERT_TRUE(reply.ok) << reply.error;
    ASSERT_EQ(reply.servers.size(), 3u);
    EXPECT_EQ(reply.servers[0].address, (ServerAddress{"1.2.3.4", 27015}));
    const SteamServer& h = reply.servers[1];
    EXPECT_EQ(h.address, (ServerAddress{"9.9.9.9", 27015}));
    EXPECT_EQ(h.players, 0);
    EXPECT_EQ(h.maxPlayers, 255);
    EXPECT_EQ(h.bots, 0);
    EXPECT_EQ(h.name, "");
    EXPECT_EQ(h.appId, 0);
    EXPECT_FALSE(h.secure);
    EXPECT_EQ(reply.servers[2].address.port, 27016);
    EXPECT_EQ(reply.dropped, 12u); // 9 unusable addresses, 2 entries that are no objects, 1 repeat
}

namespace {

class FakeGetter : public HttpGetter {
public:
    HttpGetResult answer;
    std::string lastUrl;
    int calls = 0;
    HttpGetResult get(const std::string& url, std::size_t) override {
        lastUrl = url;
        ++calls;
        return answer;
    }
};

} // namespace

TEST(Discovery, HttpAnswersBecomeMessagesThatNeverHoldTheKey) {
    const std::string key = "0123456789ABCDEF0123456789ABCDEF";
    struct Case {
        HttpGetResult answer;
        DiscoverStatus status;
        const char* mentions;
    };
    const Case cases[] = {
        {{true, 200, kRealShaped, false, ""}, DiscoverStatus::Ok, ""},
        {{true, 403, "<html>Forbidden</html>", false, ""}, DiscoverStatus::KeyRefused, "apikey"},
        {{true, 429, "", false, ""}, DiscoverStatus::TooManyCalls, "429"},
        {{true, 500, "", false, ""}, DiscoverStatus::HttpError, "500"},
        {{true, 200, "{\"resp", false, ""}, DiscoverStatus::BadReply, "not valid JSON"},
        {{true, 200, "{", true, ""}, DiscoverStatus::BadReply, "16 MiB"},
        // A network layer that puts the URL in its error text must not leak the key.
        {{false, 0, "", false, "Error transferring http://h/?key=" + key + "&x - refused"},
         DiscoverStatus::NetworkError,
         "refused"},
    };
    for (const auto& c : cases) {
        FakeGetter http;
        http.answer = c.answer;
        DiscoverResult r =
            discoverServers(http, "http://127.0.0.1:1", key, {"cstrike", "", false, false, 100});
        EXPECT_EQ(r.status, c.status) << c.answer.status;
        EXPECT_NE(r.message.find(c.mentions), std::string::npos) << r.message;
        EXPECT_EQ(r.message.find(key), std::string::npos) << r.message;
        EXPECT_NE(http.lastUrl.find("key=" + key), std::string::npos);
    }
    FakeGetter http;
    EXPECT_EQ(discoverServers(http, "http://h", "", {}).status, DiscoverStatus::NoKey);
    EXPECT_EQ(discoverServers(http, "gopher://h", key, {}).status, DiscoverStatus::BadRequest);
    EXPECT_EQ(http.calls, 0);
}

TEST(Discovery, KeyAndBaseFromTheEnvironmentComeFirst) {
    EXPECT_EQ(effectiveApiKey(" envkey\n", "stored"), "envkey");
    EXPECT_EQ(effectiveApiKey("  ", " stored "), "stored");
    EXPECT_EQ(effectiveApiKey(nullptr, ""), "");
    EXPECT_EQ(effectiveApiBase(nullptr), "https://api.steampowered.com");
    EXPECT_EQ(effectiveApiBase("http://127.0.0.1:9"), "http://127.0.0.1:9");
    // The environment over the stored mirror, the mirror over the public API; no slash at the
    // end, so that the request path does not start with two.
    EXPECT_EQ(effectiveApiBase("http://127.0.0.1:9/", "http://127.0.0.2"), "http://127.0.0.1:9");
    EXPECT_EQ(effectiveApiBase(" ", " http://127.0.0.2:8// "), "http://127.0.0.2:8");
    EXPECT_EQ(effectiveApiBase(nullptr, "/"), "https://api.steampowered.com");
}

TEST(Discovery, AddsOnlyServersTheListDoesNotHold) {
    ServerList list("a.sl06", "a.sl06", "a");
    ServerEntry mine;
    mine.address = {"1.2.3.4", 27015};
    mine.comment = "kept";
    list.entries().push_back(mine);
    auto reply = parseServerListReply(kRealShaped);
    EXPECT_EQ(addNewServers(list, reply.servers), 1u);
    EXPECT_EQ(addNewServers(list, reply.servers), 0u);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.entries()[0].comment, "kept");
    EXPECT_EQ(list.entries()[1].address, (ServerAddress{"5.6.7.8", 27015}));
    EXPECT_EQ(list.entries()[1].hostName, "B");
}

TEST(IniFile, ReadsTheValueOfItsGroupOnly) {
    const char* ini = "[Master%20Server]\nSteamApiKey=wrong\n[Settings]\r\nHLDir=/x\r\n"
                      "SteamApiKey = \"a\\\"b\" \r\n";
    EXPECT_EQ(iniValue(ini, "Settings", "SteamApiKey"), "a\"b");
    EXPECT_EQ(iniValue(ini, "Settings", "Other"), std::nullopt);
    EXPECT_EQ(iniValue("SteamApiKey=x\n", "Settings", "SteamApiKey"), std::nullopt);
}
