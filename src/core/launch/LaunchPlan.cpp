#include "LaunchPlan.h"

#include "LaunchParameters.h"
#include "common/Text.h"
#include "settings/SettingsKeys.h"

#include <filesystem>

namespace ondel {

LaunchSettings readLaunchSettings(const SettingsStore& store) {
    LaunchSettings values;
    values.hlDir = settings::read(store, settings::kHlDir);
    values.parameters = settings::read(store, settings::kParameters);
    values.connectionExit = settings::read(store, settings::kConnectionExit);
    return values;
}

void writeLaunchSettings(SettingsStore& store, const LaunchSettings& values) {
    settings::write(store, settings::kHlDir, values.hlDir);
    settings::write(store, settings::kConnectionExit, values.connectionExit);
    settings::write(store, settings::kParameters, values.parameters);
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

LaunchPlan buildLaunchPlan(const ServerEntry& server, const LaunchSettings& settings) {
    LaunchPlan plan;
    plan.program = clientProgramPath(settings.hlDir);
    std::vector<std::string>& args = plan.arguments;
    if (server.isMod) {
        args.push_back("-game");
        args.push_back(server.gameDir);
    }
    args.push_back("+connect");
    args.push_back(addressText(server.address));
    if (server.passwordRequired) {
        args.push_back("+password");
        args.push_back(server.password);
    }
    for (std::string& word : splitParameters(settings.parameters))
        args.push_back(std::move(word));

    if (args.size() > kMaxLaunchArguments) {
        plan.error = text::format("Too many parameters for '%s' (%zu, at most %zu)!!!",
                                  plan.program.c_str(), args.size(), kMaxLaunchArguments);
        return plan;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].size() > kMaxLaunchArgumentLength) {
            // Names the position only: the argument may be the server password.
            plan.error = text::format("Parameter %zu for '%s' is longer than %zu characters!!!",
                                      i + 1, plan.program.c_str(), kMaxLaunchArgumentLength);
            return plan;
        }
    }
    return plan;
}

} // namespace ondel
