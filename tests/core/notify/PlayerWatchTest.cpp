#include "notify/PlayerWatch.h"

#include <gtest/gtest.h>

using namespace ondel;
using Names = std::vector<std::string>;

TEST(PlayerWatch, ReportsAWatchedPlayerOncePerAppearance) {
    PlayerWatch watch;
    watch.setWatched({"Gordon", "alyx", "", "GORDON"});
    EXPECT_EQ(watch.watched(), (Names{"Gordon", "alyx"}));

    struct Step {
        const char* server;
        Names players;
        Names appeared;
    } steps[] = {
        {"a:1", {"barney", "gordon"}, {"gordon"}},       // as the server spells it
        {"a:1", {"gordon", "barney"}, {}},               // still there
        {"b:2", {"Gordon"}, {"Gordon"}},                 // on a second server too
        {"a:1", {"ALYX", "Alyx", "gordon"}, {"ALYX"}},   // a name twice counts once
        {"a:1", {"barney"}, {}},                         // both left
        {"a:1", {"gordon", "alyx"}, {"gordon", "alyx"}}, // and came back
        {"c:3", {"gordon2", "gord", "eli"}, {}},         // no partial matches
    };
    for (const auto& s : steps)
        EXPECT_EQ(watch.update(s.server, s.players), s.appeared) << s.server;
}

TEST(PlayerWatch, ForgottenServerAndNewWatchListReportAgain) {
    PlayerWatch watch;
    watch.setWatched({"gordon", "alyx"});
    EXPECT_EQ(watch.update("a:1", {"gordon", "alyx"}), (Names{"gordon", "alyx"}));
    watch.forget("a:1"); // the server stopped answering
    EXPECT_EQ(watch.update("a:1", {"gordon"}), (Names{"gordon"}));
    watch.setWatched({"alyx"});
    EXPECT_EQ(watch.update("a:1", {"gordon", "alyx"}), Names{"alyx"});
    // gordon, unwatched meanwhile, is announced again; alyx, watched and present, is not.
    watch.setWatched({"alyx", "gordon"});
    EXPECT_EQ(watch.update("a:1", {"gordon", "alyx"}), Names{"gordon"});
}

TEST(PlayerWatch, WatchListTextHasOneNamePerLine) {
    struct Case {
        const char* text;
        Names names;
    } cases[] = {
        {"", {}},
        {"\n \t\r\n", {}},
        {"gordon", {"gordon"}},
        {" gordon \r\n\talyx\n\nBig Bob\n", {"gordon", "alyx", "Big Bob"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(watchListFromText(c.text), c.names) << c.text;
    EXPECT_EQ(watchListText({"gordon", "Big Bob"}), "gordon\nBig Bob");
    EXPECT_EQ(watchListFromText(watchListText({"a", "b c"})), (Names{"a", "b c"}));
}
