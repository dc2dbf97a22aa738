#pragma once

#include "browser/ScanTargets.h"

#include <optional>
#include <string>
#include <string_view>

namespace ondel::cli {

// Text from a file or a server, fit for one terminal line: UTF-8, control characters as '?'.
std::string shown(std::string_view bytes);

// The servers of the files a command names: list files (.sl01 to .sl06) or texts with one
// HOST:PORT a line, "-" for standard input. Each problem is reported on stderr as
// "ondel-cli COMMAND: ..." and the file (or the bad line or entry) is skipped. Standard input is
// read once: reading it again gives the same text.
class ServerInputs {
public:
    explicit ServerInputs(const char* command) : m_command(command) {}

    void addFile(const std::string& path);
    // Starts over with no servers (before the files are read again).
    void clear();

    const ScanTargets& targets() const { return m_targets; }
    int read() const { return m_read; }             // files read (in part at least)
    int unreadable() const { return m_unreadable; } // files that gave nothing

private:
    void addText(const std::string& source, std::string_view text);
    void addListFile(const std::string& path);

    const char* m_command;
    ScanTargets m_targets;
    int m_read = 0;
    int m_unreadable = 0;
    std::optional<std::string> m_stdin;
};

} // namespace ondel::cli
