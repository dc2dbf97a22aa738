#include "CliCommand.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

void printUsage(std::FILE* out) {
    std::fprintf(out, "usage: ondel-cli COMMAND [ARGS...]   (ondel-cli COMMAND --help for more)\n\n"
                      "commands:\n");
    auto list = ondel::cli::commands();
    std::sort(list.begin(), list.end(), [](const auto* a, const auto* b) {
        return std::strcmp(a->syntax.name, b->syntax.name) < 0;
    });
    constexpr std::size_t kPrefix = sizeof("usage: ondel-cli ") - 1;
    for (const auto* command : list)
        std::fprintf(out, "  %s   %s\n",
                     ondel::cli::usageLine(command->syntax).substr(kPrefix).c_str(),
                     command->syntax.summary);
}

} // namespace

int main(int argc, char** argv) {
    using namespace ondel::cli;
    if (argc < 2) {
        printUsage(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return writeOutput() ? kExitOk : kExitFailed;
    }
    if (name == "--version") {
        std::printf("ondel-cli %s\n", ONDEL_VERSION_TEXT);
        return writeOutput() ? kExitOk : kExitFailed;
    }
    for (const auto* command : commands()) {
        if (name != command->syntax.name)
            continue;
        Arguments args;
        if (auto status = parseArguments(command->syntax,
                                         std::vector<std::string>(argv + 2, argv + argc), args))
            return *status;
        return command->run(args);
    }
    std::fprintf(stderr, "ondel-cli: unknown command '%s'\n", name.c_str());
    printUsage(stderr);
    return kExitUsage;
}
