// ondel-cli list FILE [--json]: shows what a server list file holds.
#include "CliCommand.h"
#include "EntryJson.h"

#include "common/JsonWriter.h"
#include "common/Text.h"
#include "common/VisibleText.h"
#include "serverlist/ListFiles.h"

#include <cstdio>

namespace ondel::cli {

namespace {

const CommandSyntax kSyntax{
    .name = "list",
    .operands = "FILE",
    .summary = "show the servers in a list file",
    .options = {{"--json", "", "print one JSON object"}},
    .minOperands = 1,
    .maxOperands = 1,
    .missingOperand = "no file given",
};

int runList(const Arguments& args) {
    const std::string& path = args.operands().front();
    const bool json = args.has("--json");

    ListFileRead read = readListFile(path);
    std::string shownPath = text::visible(path);
    switch (read.status) {
    case ListFileStatus::Missing:
        std::fprintf(stderr, "ondel-cli: %s: no such file\n", shownPath.c_str());
        return kExitFailed;
    case ListFileStatus::Unreadable:
        if (!read.contents.complete && read.contents.overLimit.empty()) {
            std::fprintf(stderr,
                         "ondel-cli: %s: cannot be read completely, failed at byte offset %zu\n",
                         shownPath.c_str(), read.contents.failOffset);
        } else {
            std::fprintf(stderr, "ondel-cli: %s: %s\n", shownPath.c_str(), read.problem.c_str());
        }
        return kExitFailed;
    case ListFileStatus::Read:
        break;
    }

    const listfile::Contents& c = read.contents;
    if (json) {
        JsonWriter out;
        out.beginObject();
        out.key("formatVersion"), out.value(c.formatVersion);
        out.key("name");
        if (c.name)
            out.value(*c.name);
        else
            out.null(); // files before version 6 carry no name
        out.key("entries");
        out.beginArray();
        for (const auto& entry : c.entries)
            writeEntryJson(out, entry);
        out.endArray();
        out.endObject();
        std::fwrite(out.text().data(), 1, out.text().size(), stdout);
        std::fputc('\n', stdout);
    } else {
        std::string head = text::format("formatVersion: %d\n", c.formatVersion);
        head += text::format("name: %s\n", c.name ? text::visible(*c.name).c_str() : "(none)");
        head += text::format("entries: %zu\n", c.entries.size());
        std::fwrite(head.data(), 1, head.size(), stdout);
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            std::string block = text::format("\n[%zu]\n", i) + entryText(c.entries[i]);
            std::fwrite(block.data(), 1, block.size(), stdout);
        }
    }
    return writeOutput() ? kExitOk : kExitFailed;
}

const CliCommand listCommand(kSyntax, &runList);

} // namespace

} // namespace ondel::cli
