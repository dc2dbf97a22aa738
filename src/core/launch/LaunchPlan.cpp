#include "LaunchPlan.h"

#include "LaunchParameters.h"
#include "common/Text.h"
#include "common/VisibleText.h"
#include "settings/SettingsKeys.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace ondel {

LaunchSettings readLaunchSettings(const SettingsStore& store, std::string_view pathList) {
    LaunchSettings values;
    values.hlDir = settings::read(store, settings::kHlDir);
    values.parameters = settings::read(store, settings::kParameters);
    values.connectionExit = settings::read(store, settings::kConnectionExit);
    values.steamCommand = settings::read(store, settings::kSteamCommand);
    const std::string method = store.readString(settings::kLaunchMethod.subkey,
                                                settings::kLaunchMethod.name, std::string());
    // Someone who set a Half-Life folder before the choice existed keeps starting it directly.
    const bool firstStart = method.empty() && values.hlDir.empty();
    const bool steam = firstStart ? commandFound(values.steamCommand.empty() ? std::string("steam")
                                                                             : values.steamCommand,
                                                 pathList)
                                  : method == "steam";
    values.method = steam ? LaunchMethod::Steam : LaunchMethod::Direct;
    return values;
}

LaunchSettings readLaunchSettings(const SettingsStore& store) {
    const char* path = std::getenv("PATH");
    return readLaunchSettings(store, path != nullptr ? path : "");
}

bool commandFound(std::string_view command, std::string_view pathList) {
    namespace fs = std::filesystem;
    auto runnable = [](const fs::path& file) {
        std::error_code ec;
        const fs::file_status status = fs::status(file, ec);
        if (ec || !fs::is_regular_file(status))
            return false;
        constexpr fs::perms anyExec =
            fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
        return (status.permissions() & anyExec) != fs::perms::none;
    };
    if (command.empty())
        return false;
    if (command.find('/') != std::string_view::npos ||
        command.find(static_cast<char>(fs::path::preferred_separator)) != std::string_view::npos)
        return runnable(fs::path(command));
#ifdef _WIN32
    constexpr char kListSeparator = ';';
#else
    constexpr char kListSeparator = ':';
#endif
    while (!pathList.empty()) {
        const std::size_t end = pathList.find(kListSeparator);
        const std::string_view folder = pathList.substr(0, end);
        if (!folder.empty() && runnable(fs::path(folder) / fs::path(command)))
            return true;
        if (end == std::string_view::npos)
            break;
        pathList.remove_prefix(end + 1);
    }
    return false;
}

void writeLaunchSettings(SettingsStore& store, const LaunchSettings& values) {
    settings::write(store, settings::kHlDir, values.hlDir);
    settings::write(store, settings::kConnectionExit, values.connectionExit);
    settings::write(store, settings::kParameters, values.parameters);
    settings::write(store, settings::kLaunchMethod,
                    values.method == LaunchMethod::Steam ? "steam" : "direct");
}

int steamAppId(std::string_view gameDir) {
    struct Game {
        const char* folder;
        int appId;
    };
    static constexpr Game kGames[] = {
        {"cstrike", 10},  {"tfc", 20},   {"dod", 30},   {"dmc", 40},     {"gearbox", 50},
        {"ricochet", 60}, {"valve", 70}, {"czero", 80}, {"czeror", 100}, {"bshift", 130},
    };
    for (const Game& game : kGames) {
        if (text::foldCompare(gameDir, game.folder) == 0)
            return game.appId;
    }
    return 0;
}

const char* clientProgramName() {
#ifdef _WIN32
    return "hl.exe";
#else
    return "hl.sh";
#endif
}

std::string clientProgramPath(const std::string& hlDir) {
    std::string path = hlDir;
    path.push_back(static_cast<char>(std::filesystem::path::preferred_separator));
    path += clientProgramName();
    return path;
}

namespace {

constexpr int kHalfLifeAppId = 70;

// The limits hold for every program: refuse rather than cut (see kMaxLaunchArguments).
void checkLimits(LaunchPlan& plan) {
    const std::vector<std::string>& args = plan.arguments;
    if (args.size() > kMaxLaunchArguments) {
        plan.error = text::format("Too many parameters for '%s' (%zu, at most %zu)!!!",
                                  plan.program.c_str(), args.size(), kMaxLaunchArguments);
        return;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].size() > kMaxLaunchArgumentLength) {
            // Names the position only: the argument may be the server password.
            plan.error = text::format("Parameter %zu for '%s' is longer than %zu characters!!!",
                                      i + 1, plan.program.c_str(), kMaxLaunchArgumentLength);
            return;
        }
    }
}

// The server's values that reach the command line: refused unless plain, shown made visible.
void checkServerValues(LaunchPlan& plan, const ServerEntry& server, bool passesGameDir) {
    if (passesGameDir && !isPlainFolderName(server.gameDir)) {
        plan.error = text::format("The server's game folder \"%s\" is not a plain folder name; "
                                  "the game was not started.",
                                  text::visible(server.gameDir).c_str());
        return;
    }
    const std::string& host = server.address.host;
    const bool plainHost =
        !host.empty() && std::isalnum(static_cast<unsigned char>(host.front())) &&
        host.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
            std::string::npos;
    if (!plainHost)
        plan.error = text::format("The server address \"%s\" is not a plain host; the game was "
                                  "not started.",
                                  text::visible(host).c_str());
}

} // namespace

bool isPlainFolderName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFolderNameLength || name.front() == '-' ||
        name.front() == '+' || name.find("..") != std::string_view::npos)
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

LaunchPlan buildLaunchPlan(const ServerEntry& server, const LaunchSettings& settings) {
    LaunchPlan plan;
    std::vector<std::string>& args = plan.arguments;
    bool passesGameDir = server.isMod != 0;
    if (settings.method == LaunchMethod::Steam) {
        plan.program = settings.steamCommand.empty() ? "steam" : settings.steamCommand;
        const int appId = steamAppId(server.gameDir);
        args.push_back("-applaunch");
        args.push_back(std::to_string(appId != 0 ? appId : kHalfLifeAppId));
        // A mod without an app id of its own runs inside Half-Life.
        passesGameDir = appId == 0 && !server.gameDir.empty();
        if (passesGameDir) {
            args.push_back("-game");
            args.push_back(server.gameDir);
        }
    } else {
        plan.program = clientProgramPath(settings.hlDir);
        if (server.isMod) {
            args.push_back("-game");
            args.push_back(server.gameDir);
        }
    }
    args.push_back("+connect");
    args.push_back(addressText(server.address));
    if (server.passwordRequired) {
        args.push_back("+password");
        args.push_back(server.password);
    }
    for (std::string& word : splitParameters(settings.parameters))
        args.push_back(std::move(word));
    checkServerValues(plan, server, passesGameDir);
    if (plan.ok())
        checkLimits(plan);
    if (!plan.ok())
        plan.arguments.clear();
    return plan;
}

} // namespace ondel
