#include "settings/UserPaths.h"

#include <gtest/gtest.h>

using namespace ondel;

// A relative XDG variable is ignored as the XDG rules say, so the window and ondel-cli agree.
TEST(UserPaths, FollowTheXdgRulesAndIgnoreRelativeOrEmptyVariables) {
    struct Case {
        const char* xdg;
        const char* home;
        const char* data;
        const char* settings;
    } cases[] = {
        {"/xdg", "/home/u", "/xdg/Ondel", "/xdg/Ondel/Ondel.conf"},
        {nullptr, "/home/u", "/home/u/.local/share/Ondel", "/home/u/.config/Ondel/Ondel.conf"},
        {"", "/home/u", "/home/u/.local/share/Ondel", "/home/u/.config/Ondel/Ondel.conf"},
        {"rel/dir", "/home/u", "/home/u/.local/share/Ondel", "/home/u/.config/Ondel/Ondel.conf"},
        {"rel/dir", nullptr, "", ""},
        {nullptr, "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(userDataFolder(c.xdg, c.home), c.data) << (c.xdg ? c.xdg : "(unset)");
        EXPECT_EQ(settingsFilePath(nullptr, c.xdg, c.home), c.settings)
            << (c.xdg ? c.xdg : "(unset)");
    }
    // ONDEL_SETTINGS wins as given; an empty one does not count.
    EXPECT_EQ(settingsFilePath("/t/s.conf", "/xdg", "/home/u"), "/t/s.conf");
    EXPECT_EQ(settingsFilePath("", "/xdg", "/home/u"), "/xdg/Ondel/Ondel.conf");
}
