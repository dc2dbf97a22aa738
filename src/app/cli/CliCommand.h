#pragma once

#include <string>
#include <string_view>
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

// Writes text to standard output and flushes it. True when everything the command wrote there
// got out, this text and all before it; false after a failed write (a full disk, a closed pipe),
// which a command reports through its exit status rather than as success.
bool writeOutput(std::string_view text = {});

// Text from a file or a server, fit for one terminal line: UTF-8, control characters as '?'.
std::string shown(std::string_view bytes);

} // namespace ondel::cli
