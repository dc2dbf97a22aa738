#pragma once

#include <string>
#include <vector>

namespace ondel::cli {

// One subcommand of ondel-cli. Each command's .cpp defines a static CliCommand; main looks them
// up by name. run gets the arguments after the command name and returns the exit status.
struct CliCommand {
    using Run = int (*)(const std::vector<std::string>& args);

    CliCommand(const char* name, const char* usage, Run run);

    const char* name;
    const char* usage;
    Run run;
};

const std::vector<const CliCommand*>& commands();

} // namespace ondel::cli
