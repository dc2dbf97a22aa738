#include "monitor/WindowTitle.h"

#include <gtest/gtest.h>

using namespace ondel;

TEST(WindowTitle, TheFourForms) {
    ServerEntry e;
    EXPECT_EQ(windowTitle(e, TitleMode::Normal), "Ondel v" ONDEL_VERSION_TEXT "   ");
    EXPECT_EQ(windowTitle(e, TitleMode::Minimized), "Ondel");

    e.hostName = "My <b>Server</b>";
    e.players = 12;
    e.maxPlayers = 16;
    // Without an info reply the minimised form has nothing to count.
    EXPECT_EQ(windowTitle(e, TitleMode::Minimized), "Ondel");
    e.infoValid = true;
    EXPECT_EQ(windowTitle(e, TitleMode::Normal),
              "Ondel v" ONDEL_VERSION_TEXT "   My <b>Server</b>");
    EXPECT_EQ(windowTitle(e, TitleMode::Minimized), "Ondel   12/16 My <b>Server</b>");
    EXPECT_EQ(windowTitle(e, TitleMode::Connected), "Ondel   Connected to My <b>Server</b>");

    // A server that limits queries says so in the normal form only.
    EXPECT_EQ(
        windowTitle(e, TitleMode::Normal, 4),
        "Ondel v0.2.5   My <b>Server</b>   (the server limits queries, refreshing every 4 s)");
    EXPECT_EQ(windowTitle(e, TitleMode::Minimized, 4), "Ondel   12/16 My <b>Server</b>");

    e.hostName = "Caf\xE9";
    EXPECT_EQ(windowTitle(e, TitleMode::Normal), "Ondel v" ONDEL_VERSION_TEXT "   Caf\xC3\xA9");
}

TEST(WindowTitle, BandwidthText) {
    EXPECT_EQ(bandwidthText(0), "0 B/s");
    EXPECT_EQ(bandwidthText(43), "43 B/s");
    EXPECT_EQ(bandwidthText(-7), "-7 B/s");
}
