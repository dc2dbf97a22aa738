#include "CliCommand.h"

#include "common/Text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ondel::cli {

namespace {
std::vector<const CliCommand*>& registry() {
    static std::vector<const CliCommand*> list;
    return list;
}
} // namespace

CliCommand::CliCommand(const char* name_, const char* usage_, Run run_)
    : name(name_), usage(usage_), run(run_) {
    registry().push_back(this);
}

const std::vector<const CliCommand*>& commands() {
    return registry();
}

bool writeOutput(std::string_view text) {
    if (!text.empty()) // an empty view may hold no pointer at all, which fwrite may not get
        std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

std::string shown(std::string_view bytes) {
    std::string out = ondel::text::toDisplayUtf8(bytes);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return out;
}

} // namespace ondel::cli

namespace {
void printUsage(std::FILE* out) {
    std::fprintf(out, "usage: ondel-cli COMMAND [ARGS...]\n\ncommands:\n");
    auto list = ondel::cli::commands();
    std::sort(list.begin(), list.end(),
              [](const auto* a, const auto* b) { return std::strcmp(a->name, b->name) < 0; });
    for (const auto* command : list)
        std::fprintf(out, "  %s\n", command->usage);
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("ondel-cli %s\n", ONDEL_VERSION_TEXT);
        return 0;
    }
    for (const auto* command : ondel::cli::commands()) {
        if (name == command->name)
            return command->run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "ondel-cli: unknown command '%s'\n", name.c_str());
    printUsage(stderr);
    return 1;
}
