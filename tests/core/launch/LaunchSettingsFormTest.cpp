#include "launch/LaunchSettingsForm.h"

#include <gtest/gtest.h>

using namespace ondel;
using Words = std::vector<std::string>;

namespace {
std::size_t indexOf(const char* name) {
    const auto& table = LaunchSettingsForm::switches();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (std::string(table[i].text) == name)
            return i;
    ADD_FAILURE() << name;
    return 0;
}
LaunchSettingsForm loaded(std::string parameters) {
    LaunchSettingsForm form;
    LaunchSettings s;
    s.parameters = std::move(parameters);
    form.load(s);
    return form;
}
} // namespace

TEST(LaunchSettingsForm, DefaultsTickConsoleOnly) {
    LaunchSettingsForm form = loaded(LaunchSettings{}.parameters);
    for (std::size_t i = 0; i < LaunchSettingsForm::kSwitchCount; ++i)
        EXPECT_EQ(form.ticked(i), i == indexOf("-console")) << i;
    EXPECT_EQ(form.additional(), "");
    EXPECT_EQ(form.result().parameters, "-console");
}

TEST(LaunchSettingsForm, LoadTakesSwitchesOutOfTheParameters) {
    LaunchSettingsForm form = loaded("-d3d -WIN \"+name a b\" -gl -gl -foo -console");
    EXPECT_TRUE(form.ticked(indexOf("-d3d")));
    EXPECT_TRUE(form.ticked(indexOf("-gl")));
    EXPECT_TRUE(form.ticked(indexOf("-console")));
    EXPECT_FALSE(form.ticked(indexOf("-win"))); // case counts
    // The second -gl stays, the upper-case switch stays, the group keeps its quotes.
    EXPECT_EQ(form.additional(), "-WIN \"+name a b\" -gl -foo");
    // Ticked switches come first in the table's order, then the additional words.
    EXPECT_EQ(form.words(), (Words{"-console", "-gl", "-d3d", "-WIN", "+name a b", "-gl", "-foo"}));
}

TEST(LaunchSettingsForm, EditsRebuildTheWorkingListAndPreview) {
    LaunchSettingsForm form = loaded("");
    form.setTicked(indexOf("-win"), true);
    form.setAdditional("\"+name my player\" -x");
    EXPECT_EQ(form.result().parameters, "-win \"+name my player\" -x");
    EXPECT_EQ(form.preview(), std::string(clientProgramName()) +
                                  " [-game <MOD DIRECTORY>] +connect <SERVER> "
                                  "[+password <PASSWORD>] -win \"+name my player\" -x");
    // Order of the additional words is kept; switches stay in front.
    form.setAdditional("-x \"+name my player\"");
    form.setTicked(indexOf("-console"), true);
    EXPECT_EQ(form.words(), (Words{"-console", "-win", "-x", "+name my player"}));
    // An unbalanced quote drops the open group at once.
    form.setAdditional("-x \"+name my");
    EXPECT_EQ(form.words(), (Words{"-console", "-win", "-x"}));
    form.setTicked(indexOf("-win"), false);
    EXPECT_EQ(form.result().parameters, "-console -x");
}

TEST(LaunchSettingsForm, AllSwitchesTickedComeOutInTableOrder) {
    LaunchSettingsForm form = loaded("-d3d -full -gl -numericping -soft -32bpp -win -noipx -safe "
                                     "-minmemory -console");
    EXPECT_EQ(form.additional(), "");
    EXPECT_EQ(form.result().parameters, "-console -minmemory -safe -noipx -win -32bpp -soft "
                                        "-numericping -gl -full -d3d");
}

TEST(LaunchSettingsForm, ResultCarriesDirectoryAndQuitChoice) {
    LaunchSettingsForm form;
    form.load(LaunchSettings{"/opt/hl", "-console", 1});
    EXPECT_EQ(form.hlDir(), "/opt/hl");
    EXPECT_TRUE(form.connectionExit());
    form.setConnectionExit(false);
    form.setHlDir("/other");
    LaunchSettings r = form.result();
    EXPECT_EQ(r.hlDir, "/other");
    EXPECT_EQ(r.connectionExit, 0);
}

TEST(LaunchSettingsForm, BrowseKeepsTheDirectoryOfTheChosenFile) {
    EXPECT_EQ(LaunchSettingsForm::directoryOfChosenFile("/games/hl/hl.sh"), "/games/hl");
    EXPECT_EQ(LaunchSettingsForm::directoryOfChosenFile("/games/hl/anything"), "/games/hl");
    EXPECT_EQ(LaunchSettingsForm::directoryOfChosenFile("/a/hl.sh"), "/a");
    EXPECT_EQ(LaunchSettingsForm::directoryOfChosenFile("/hl.sh"), std::nullopt); // too short
    EXPECT_EQ(LaunchSettingsForm::directoryOfChosenFile("hl.sh"), std::nullopt);
}
