#include "watch/PrometheusText.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(PrometheusText, LabelValuesAreEscapedAndMadeValidUtf8) {
    struct Case {
        std::string raw;
        std::string label;
    } cases[] = {
        {"plain", "plain"},
        {"a\\b", "a\\\\b"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"two\nlines", "two\\nlines"},
        {std::string("nul\0tab\tesc\x1b del\x7f", 17), "nul\xEF\xBF\xBDtab\xEF\xBF\xBD"
                                                       "esc\xEF\xBF\xBD del\xEF\xBF\xBD"},
        {"caf\xE9", "caf\xC3\xA9"},                 // Windows-1252 read as such
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"}, // valid UTF-8 kept
        {"} 1\nfake_metric 9", "} 1\\nfake_metric 9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(prometheusLabelValue(c.raw), c.label) << c.raw;

    // Long names are cut, never in the middle of a character.
    std::string label = prometheusLabelValue(std::string(255, 'a') + "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(label, std::string(255, 'a'));
}

TEST(PrometheusText, UpAndDownServersAndTheWatchFigures) {
    ServerMetrics up;
    up.server = "127.0.0.1:27015";
    up.up = true;
    up.players = 3;
    up.maxPlayers = 16;
    up.bots = 1;
    up.pingMs = 25;
    up.name = "x\"}\n";
    up.map = "crossfire";
    up.game = "Half-Life";
    up.dialect = "steam";
    ServerMetrics down;
    down.server = "127.0.0.1:27016";
    down.players = 7; // stale values of a miss are not shown
    WatchFigures figures;
    figures.roundSeconds = 1.5;
    figures.packetsSent = 40;
    std::string text = prometheusText({up, down}, figures);

    for (const char* line : {
             "a2s_server_up{server=\"127.0.0.1:27015\"} 1\n",
             "a2s_server_up{server=\"127.0.0.1:27016\"} 0\n",
             "a2s_server_players{server=\"127.0.0.1:27015\"} 3\n",
             "a2s_server_players{server=\"127.0.0.1:27016\"} 0\n",
             "a2s_server_max_players{server=\"127.0.0.1:27016\"} 0\n",
             "a2s_server_bots{server=\"127.0.0.1:27015\"} 1\n",
             "a2s_server_ping_seconds{server=\"127.0.0.1:27015\"} 0.025\n",
             "a2s_server_info{server=\"127.0.0.1:27015\",map=\"crossfire\",game=\"Half-Life\","
             "name=\"x\\\"}\\n\",dialect=\"steam\"} 1\n",
             "# TYPE ondel_watch_packets_sent_total counter\nondel_watch_packets_sent_total 40\n",
             "ondel_watch_round_duration_seconds 1.5\n",
             "ondel_watch_servers 2\n",
             "ondel_watch_servers_up 1\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line;
    for (const char* absent :
         {"ping_seconds{server=\"127.0.0.1:27016\"", "info{server=\"127.0.0.1:27016\"",
          "bots{server=\"127.0.0.1:27016\""})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    // Every line is a comment or one sample: name{labels} value.
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        std::string line = text.substr(start, end - start);
        EXPECT_TRUE(line.rfind("# ", 0) == 0 || line.rfind("a2s_server_", 0) == 0 ||
                    line.rfind("ondel_watch_", 0) == 0)
            << line;
        start = end + 1;
    }
}
