#include "rcon/CommandHistory.h"

#include "common/AtomicFile.h"
#include "common/Text.h"

#include <filesystem>
#include <fstream>

namespace ondel {

namespace {

// A file this large is not one the console wrote: 500 commands of 1 KiB for a few hundred
// servers stay far below.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

// A command or address that would break the file's lines is not stored.
bool fitsOnALine(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

CommandHistory::CommandHistory(std::vector<std::string> commands)
    : m_commands(std::move(commands)) {
    if (m_commands.size() > kMaxCommands)
        m_commands.erase(m_commands.begin(),
                         m_commands.begin() +
                             static_cast<std::ptrdiff_t>(m_commands.size() - kMaxCommands));
    m_position = m_commands.size();
}

bool CommandHistory::holdsPassword(std::string_view command) {
    const std::size_t start = command.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return false;
    command.remove_prefix(start);
    const std::string_view word = command.substr(0, command.find_first_of(" \t"));
    return text::foldCompare(word, "rcon_password") == 0 ||
           text::foldCompare(word, "sv_password") == 0;
}

void CommandHistory::add(std::string_view command) {
    m_draft.clear();
    if (!command.empty() && !holdsPassword(command) && fitsOnALine(command) &&
        (m_commands.empty() || m_commands.back() != command)) {
        m_commands.emplace_back(command);
        if (m_commands.size() > kMaxCommands)
            m_commands.erase(m_commands.begin());
    }
    m_position = m_commands.size();
}

std::optional<std::string> CommandHistory::older(std::string_view current) {
    if (m_position == 0)
        return std::nullopt;
    if (m_position == m_commands.size())
        m_draft.assign(current);
    return m_commands[--m_position];
}

std::optional<std::string> CommandHistory::newer() {
    if (m_position >= m_commands.size())
        return std::nullopt;
    ++m_position;
    return m_position == m_commands.size() ? m_draft : m_commands[m_position];
}

CommandHistories readCommandHistories(const std::string& path) {
    CommandHistories histories;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileBytes)
        return histories;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 == line.size())
            continue;
        std::vector<std::string>& commands = histories[line.substr(0, tab)];
        commands.push_back(line.substr(tab + 1));
        // Trimmed in bulk: a long file costs one move per half-limit of lines.
        if (commands.size() >= 2 * CommandHistory::kMaxCommands)
            commands.erase(commands.begin(), commands.begin() + static_cast<std::ptrdiff_t>(
                                                                    CommandHistory::kMaxCommands));
    }
    for (auto& [address, commands] : histories)
        if (commands.size() > CommandHistory::kMaxCommands)
            commands.erase(commands.begin(), commands.end() - static_cast<std::ptrdiff_t>(
                                                                  CommandHistory::kMaxCommands));
    return histories;
}

bool writeCommandHistories(const std::string& path, const CommandHistories& histories) {
    std::string out;
    for (const auto& [address, commands] : histories) {
        if (address.empty() || !fitsOnALine(address) || address.find('\t') != std::string::npos)
            continue;
        for (const std::string& command : commands) {
            if (command.empty() || !fitsOnALine(command))
                continue;
            out += address;
            out += '\t';
            out += command;
            out += '\n';
        }
    }
    return writeFileAtomically(
        path, std::span(reinterpret_cast<const std::uint8_t*>(out.data()), out.size()));
}

} // namespace ondel
