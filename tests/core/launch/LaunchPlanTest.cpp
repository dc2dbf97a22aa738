#include "launch/LaunchPlan.h"

#include "../fakes/FakeSettingsStore.h"
#include "../serverlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace ondel;
using Words = std::vector<std::string>;

namespace {
ServerEntry server(bool mod, bool passwordRequired, std::string password = {}) {
    ServerEntry e;
    e.address = {"10.0.0.5", 27015};
    e.infoValid = true;
    e.isMod = mod ? 1 : 0;
    e.gameDir = "cstrike";
    e.passwordRequired = passwordRequired ? 1 : 0;
    e.password = std::move(password);
    return e;
}
LaunchSettings settingsWith(std::string parameters, std::string dir = "/games/hl") {
    LaunchSettings s;
    s.hlDir = std::move(dir);
    s.parameters = std::move(parameters);
    return s;
}
} // namespace

TEST(LaunchPlan, ArgumentsInTheirOrder) {
    struct Case {
        const char* what;
        ServerEntry entry;
        const char* parameters;
        Words args;
    } cases[] = {
        {"plain server",
         server(false, false),
         "-console",
         {"+connect", "10.0.0.5:27015", "-console"}},
        {"mod server",
         server(true, false),
         "-console",
         {"-game", "cstrike", "+connect", "10.0.0.5:27015", "-console"}},
        {"password required",
         server(false, true, "pw"),
         "",
         {"+connect", "10.0.0.5:27015", "+password", "pw"}},
        {"password required, none stored",
         server(true, true),
         "-win",
         {"-game", "cstrike", "+connect", "10.0.0.5:27015", "+password", "", "-win"}},
        {"stored password not required",
         server(false, false, "secret"),
         "",
         {"+connect", "10.0.0.5:27015"}},
        {"quoted group and two blanks",
         server(false, false),
         "-win  \"+name a b\"  -gl",
         {"+connect", "10.0.0.5:27015", "-win", "+name a b", "-gl"}},
    };
    for (const auto& c : cases) {
        LaunchPlan plan = buildLaunchPlan(c.entry, settingsWith(c.parameters));
        EXPECT_TRUE(plan.ok()) << c.what << ": " << plan.error;
        EXPECT_EQ(plan.arguments, c.args) << c.what;
    }
}

TEST(LaunchPlan, ProgramPathFromTheDirectory) {
    const std::string client = clientProgramName();
    EXPECT_EQ(buildLaunchPlan(server(false, false), settingsWith("", "/games/hl")).program,
              "/games/hl/" + client);
    // An empty directory leaves a lone separator in front of the client name.
    EXPECT_EQ(buildLaunchPlan(server(false, false), settingsWith("", "")).program, "/" + client);
}

TEST(LaunchPlan, RefusesMoreThan63Arguments) {
    // +connect and the address take two slots; 61 more words fill all 63.
    std::string words;
    for (int i = 0; i < 61; ++i)
        words += " -w" + std::to_string(i);
    LaunchPlan full = buildLaunchPlan(server(false, false), settingsWith(words));
    EXPECT_TRUE(full.ok()) << full.error;
    EXPECT_EQ(full.arguments.size(), 63u);

    LaunchPlan over = buildLaunchPlan(server(false, false), settingsWith(words + " -one-more"));
    EXPECT_FALSE(over.ok());
    EXPECT_NE(over.error.find("!!!"), std::string::npos);
    // A mod server needs two slots more.
    EXPECT_FALSE(buildLaunchPlan(server(true, false), settingsWith(words)).ok());
}

TEST(LaunchPlan, RefusesAnArgumentLongerThan255Characters) {
    std::string longest(255, 'x');
    EXPECT_TRUE(buildLaunchPlan(server(false, false), settingsWith(longest)).ok());
    EXPECT_FALSE(buildLaunchPlan(server(false, false), settingsWith(longest + "x")).ok());

    // A long password refuses too, and the error text does not give the password away.
    std::string password = "p" + std::string(300, 's');
    LaunchPlan plan = buildLaunchPlan(server(false, true, password), settingsWith(""));
    ASSERT_FALSE(plan.ok());
    EXPECT_EQ(plan.error.find("pss"), std::string::npos);
    // The server's game directory counts as well.
    ServerEntry mod = server(true, false);
    mod.gameDir = std::string(256, 'g');
    EXPECT_FALSE(buildLaunchPlan(mod, settingsWith("")).ok());
}

TEST(LaunchPlan, SettingsReadWithDefaultsAndWrittenBack) {
    test::FakeSettingsStore store;
    LaunchSettings first = readLaunchSettings(store);
    EXPECT_EQ(first.hlDir, "");
    EXPECT_EQ(first.parameters, "-console");
    EXPECT_EQ(first.connectionExit, 0);

    writeLaunchSettings(store, LaunchSettings{"/hl", "-win", 1});
    LaunchSettings back = readLaunchSettings(store);
    EXPECT_EQ(back.hlDir, "/hl");
    EXPECT_EQ(back.parameters, "-win");
    EXPECT_EQ(back.connectionExit, 1);
}

namespace {
LaunchSettings steamSettings(std::string parameters, std::string command = "steam") {
    LaunchSettings s = settingsWith(std::move(parameters), "/unused");
    s.method = LaunchMethod::Steam;
    s.steamCommand = std::move(command);
    return s;
}
ServerEntry steamServer(std::string gameDir, bool passwordRequired = false) {
    ServerEntry e = server(gameDir != "valve", passwordRequired, "pw pw");
    e.gameDir = std::move(gameDir);
    return e;
}
} // namespace

TEST(LaunchPlan, ThroughSteamTheGameFolderGivesTheAppId) {
    struct Case {
        const char* gameDir;
        Words head; // the arguments in front of +connect
    } cases[] = {
        {"cstrike", {"-applaunch", "10"}},
        {"tfc", {"-applaunch", "20"}},
        {"dod", {"-applaunch", "30"}},
        {"dmc", {"-applaunch", "40"}},
        {"gearbox", {"-applaunch", "50"}},
        {"ricochet", {"-applaunch", "60"}},
        {"valve", {"-applaunch", "70"}},
        {"czero", {"-applaunch", "80"}},
        {"czeror", {"-applaunch", "100"}},
        {"bshift", {"-applaunch", "130"}},
        {"CStrike", {"-applaunch", "10"}},
        {"czer", {"-applaunch", "70", "-game", "czer"}},
        {"ns", {"-applaunch", "70", "-game", "ns"}},
        {"", {"-applaunch", "70"}}, // no folder reported: plain Half-Life
    };
    for (const auto& c : cases) {
        LaunchPlan plan = buildLaunchPlan(steamServer(c.gameDir), steamSettings("-console"));
        ASSERT_TRUE(plan.ok()) << c.gameDir << ": " << plan.error;
        EXPECT_EQ(plan.program, "steam");
        Words expected = c.head;
        expected.insert(expected.end(), {"+connect", "10.0.0.5:27015", "-console"});
        EXPECT_EQ(plan.arguments, expected) << c.gameDir;
    }
}

TEST(LaunchPlan, ThroughSteamPasswordParametersAndProgram) {
    LaunchPlan plan = buildLaunchPlan(steamServer("ns", true),
                                      steamSettings("-win \"+name a b\"", "/opt/steam/steam.sh"));
    ASSERT_TRUE(plan.ok()) << plan.error;
    EXPECT_EQ(plan.program, "/opt/steam/steam.sh");
    EXPECT_EQ(plan.arguments, (Words{"-applaunch", "70", "-game", "ns", "+connect",
                                     "10.0.0.5:27015", "+password", "pw pw", "-win", "+name a b"}));
    EXPECT_EQ(buildLaunchPlan(steamServer("tfc"), steamSettings("", "")).program, "steam");
}

TEST(LaunchPlan, ThroughSteamTheLimitsHoldForItsArguments) {
    // -applaunch, the id, +connect and the address take four slots; 59 words fill all 63.
    std::string words;
    for (int i = 0; i < 59; ++i)
        words += " -w" + std::to_string(i);
    LaunchPlan full = buildLaunchPlan(steamServer("cstrike"), steamSettings(words));
    EXPECT_TRUE(full.ok()) << full.error;
    EXPECT_EQ(full.arguments.size(), 63u);
    // The same words under a mod without an app id need "-game DIR" as well: two too many.
    EXPECT_FALSE(buildLaunchPlan(steamServer("ns"), steamSettings(words)).ok());
}

TEST(LaunchPlan, OnlyAPlainGameFolderReachesTheCommandLine) {
    struct Case {
        std::string folder;
        bool plain;
    } cases[] = {
        {"valve", true},
        {"my_mod-2.0", true},
        {std::string(63, 'g'), true},
        {std::string(64, 'g'), false},
        {"", false},
        {"valve +exec evil.cfg", false},
        {"+exec", false},
        {"-dev", false},
        {"..", false},
        {"a..b", false},
        {"../valve", false},
        {"valve/maps", false},
        {"valve\\x", false},
        {"val\"ve", false},
        {"valve\n+quit", false},
        {std::string("va\0lve", 6), false},
        {"caf\xC3\xA9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isPlainFolderName(c.folder), c.plain) << c.folder;
        ServerEntry mod = server(true, false);
        mod.gameDir = c.folder;
        ServerEntry steam = steamServer(c.folder);
        for (LaunchPlan plan :
             {buildLaunchPlan(mod, settingsWith("")), buildLaunchPlan(steam, steamSettings(""))}) {
            if (c.folder.empty())
                continue; // through Steam no folder means Half-Life itself
            EXPECT_EQ(plan.ok(), c.plain) << c.folder;
            if (!c.plain) {
                EXPECT_TRUE(plan.arguments.empty());
                // The message shows the text with its controls made visible.
                EXPECT_EQ(plan.error.find_first_of(std::string("\n\0", 2)), std::string::npos);
            }
        }
    }
    ServerEntry emptyMod = server(true, false);
    emptyMod.gameDir.clear();
    EXPECT_FALSE(buildLaunchPlan(emptyMod, settingsWith("")).ok());
    // A folder that is not passed (no mod flag, or one with an app id) is not looked at.
    ServerEntry plain = server(false, false);
    plain.gameDir = "valve +exec evil.cfg";
    EXPECT_TRUE(buildLaunchPlan(plain, settingsWith("")).ok());
}

TEST(LaunchPlan, AHostThatIsNotPlainRefusesTheLaunch) {
    for (const char* host : {"+exec evil.cfg", "-dev", "a b.c.d", "host\x1b[2J.x.y"}) {
        ServerEntry e = server(false, false);
        e.address.host = host;
        LaunchPlan plan = buildLaunchPlan(e, settingsWith(""));
        EXPECT_FALSE(plan.ok()) << host;
        EXPECT_EQ(plan.error.find('\x1b'), std::string::npos);
    }
    ServerEntry named = server(false, false);
    named.address.host = "play.example-1.org";
    EXPECT_TRUE(buildLaunchPlan(named, settingsWith("")).ok());
}

TEST(LaunchPlan, LaunchMethodStoredAsDirectOrSteam) {
    test::FakeSettingsStore store;
    EXPECT_EQ(readLaunchSettings(store, "").method, LaunchMethod::Direct);
    EXPECT_EQ(readLaunchSettings(store).steamCommand, "steam");
    LaunchSettings steam = readLaunchSettings(store);
    steam.method = LaunchMethod::Steam;
    writeLaunchSettings(store, steam);
    EXPECT_EQ(store.readString("Settings", "LaunchMethod", ""), "steam");
    EXPECT_EQ(readLaunchSettings(store).method, LaunchMethod::Steam);
    // Anything else, such as a hand-edited "Steam", starts the game directly.
    store.writeString("Settings", "LaunchMethod", "Steam");
    EXPECT_EQ(readLaunchSettings(store).method, LaunchMethod::Direct);
    steam.method = LaunchMethod::Direct;
    writeLaunchSettings(store, steam);
    EXPECT_EQ(store.readString("Settings", "LaunchMethod", ""), "direct");
}

TEST(LaunchPlan, FirstStartGoesThroughSteamWhenItIsFound) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string withSteam = dir.file("bin");
    const std::string notRunnable = dir.file("noexec");
    const std::string empty = dir.file("empty");
    for (const std::string& folder : {withSteam, notRunnable, empty})
        fs::create_directory(folder);
    for (const std::string& folder : {withSteam, notRunnable})
        std::ofstream(folder + "/steam") << "#!/bin/sh\n";
    fs::permissions(withSteam + "/steam", fs::perms::owner_all);
    fs::permissions(notRunnable + "/steam", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directory(empty + "/steam"); // a folder of that name is no program

    struct Case {
        const char* stored; // LaunchMethod, nullptr: none
        const char* hlDir;  // nullptr: none
        const char* steamCommand;
        std::string path;
        LaunchMethod expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, empty + ":" + withSteam, LaunchMethod::Steam},
        {nullptr, nullptr, nullptr, "::" + withSteam + "/", LaunchMethod::Steam},
        {nullptr, nullptr, nullptr, empty + ":" + notRunnable, LaunchMethod::Direct},
        {nullptr, nullptr, nullptr, "", LaunchMethod::Direct},
        {nullptr, nullptr, "steam-runtime", withSteam, LaunchMethod::Direct},
        {nullptr, nullptr, "", withSteam, LaunchMethod::Steam},
        {nullptr, nullptr, nullptr, withSteam + "/steam", LaunchMethod::Direct},
        // What is stored wins, and so does a folder set before the choice existed.
        {"direct", nullptr, nullptr, withSteam, LaunchMethod::Direct},
        {"steam", nullptr, nullptr, empty, LaunchMethod::Steam},
        {nullptr, "/games/hl", nullptr, withSteam, LaunchMethod::Direct},
    };
    for (const Case& c : cases) {
        test::FakeSettingsStore store;
        if (c.stored != nullptr)
            store.writeString("Settings", "LaunchMethod", c.stored);
        if (c.hlDir != nullptr)
            store.writeString("Settings", "HLDir", c.hlDir);
        if (c.steamCommand != nullptr)
            store.writeString("Settings", "SteamCommand", c.steamCommand);
        EXPECT_EQ(readLaunchSettings(store, c.path).method, c.expected)
            << (c.stored ? c.stored : "-") << " " << (c.hlDir ? c.hlDir : "-") << " "
            << (c.steamCommand ? c.steamCommand : "-") << " PATH=" << c.path;
    }
    // A command given as a path is that file, wherever PATH points.
    test::FakeSettingsStore byPath;
    byPath.writeString("Settings", "SteamCommand", withSteam + "/steam");
    EXPECT_EQ(readLaunchSettings(byPath, "").method, LaunchMethod::Steam);
    byPath.writeString("Settings", "SteamCommand", notRunnable + "/steam");
    EXPECT_EQ(readLaunchSettings(byPath, withSteam).method, LaunchMethod::Direct);
}
