#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// The commands sent to one server, oldest first, walked with Up and Down as a shell does: Up
// from the command line gives the newest command, each further Up an older one; Down walks back
// and, past the newest, gives the line as it was before the walk began. A command that repeats
// the newest one is not stored again; beyond kMaxCommands the oldest go. Commands that set a
// password (rcon_password, sv_password) are never stored: the history is kept in a file.
// Not thread-safe (GUI thread).
class CommandHistory {
public:
    static constexpr std::size_t kMaxCommands = 500;

    explicit CommandHistory(std::vector<std::string> commands = {});

    // Stores a sent command (see the class comment) and ends any walk.
    void add(std::string_view command);
    const std::vector<std::string>& commands() const { return m_commands; }

    // Up: the next older command; current is the line now, kept for the way back. Nothing when
    // there is no older one.
    std::optional<std::string> older(std::string_view current);
    // Down: the next newer command, or the line before the walk once past the newest. Nothing
    // when no walk is going on.
    std::optional<std::string> newer();

    // Whether a command carries a password that must not be written anywhere.
    static bool holdsPassword(std::string_view command);

private:
    std::vector<std::string> m_commands;
    std::size_t m_position = 0; // m_commands.size(): not walking
    std::string m_draft;
};

// Every server's command history in one text file of the data folder: one line per command,
// "HOST:PORT", a tab, the command; oldest first. Reading is lenient (a line without a tab, or a
// file that cannot be read, gives nothing) and keeps at most kMaxCommands a server.
using CommandHistories = std::map<std::string, std::vector<std::string>>;
CommandHistories readCommandHistories(const std::string& path);
// Replaces the file at once (atomically); false when it cannot be written.
bool writeCommandHistories(const std::string& path, const CommandHistories& histories);

} // namespace ondel
