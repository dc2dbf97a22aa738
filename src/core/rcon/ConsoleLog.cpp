#include "ConsoleLog.h"

#include "common/Text.h"

#include <algorithm>
#include <utility>

namespace ondel {

namespace {

constexpr std::size_t kLogPrefixLength = 28; // "og L MM/DD/YYYY - HH:MM:SS: "

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Today's servers log every command as
//   Rcon: "rcon CHALLENGE "PASSWORD" COMMAND" from "ADDRESS:PORT"
// (or "Bad Rcon: ..." when refused). rest is the line after its date prefix. Returns false when
// the line does not have that shape, so the caller falls back to the older form.
bool convertQuotedRconLine(std::string_view rest, std::string& line) {
    constexpr std::string_view kGood = "Rcon: \"";
    constexpr std::string_view kBad = "Bad Rcon: \"";
    constexpr std::string_view kFrom = "\" from \"";
    bool bad = false;
    if (startsWith(rest, kBad)) {
        bad = true;
        rest.remove_prefix(kBad.size());
    } else if (startsWith(rest, kGood)) {
        rest.remove_prefix(kGood.size());
    } else {
        return false;
    }
    // The address never holds a quote, but the command may hold the separator text itself, so
    // the last one is the real separator.
    std::size_t from = rest.rfind(kFrom);
    if (from == std::string_view::npos || rest.size() < from + kFrom.size() + 2 ||
        rest.back() != '"')
        return false;
    std::string_view address = rest.substr(from + kFrom.size());
    address.remove_suffix(1);
    std::string_view quoted = rest.substr(0, from);

    // The command as typed: without "rcon", the challenge number and the quoted password, which
    // the console has no reason to repeat. A text of another shape is shown whole.
    std::string_view command = quoted;
    std::string_view q = quoted;
    if (startsWith(q, "rcon ")) {
        q.remove_prefix(5);
        std::size_t digits = 0;
        while (digits < q.size() && q[digits] >= '0' && q[digits] <= '9')
            ++digits;
        if (digits > 0 && digits < q.size() && q[digits] == ' ')
            q.remove_prefix(digits + 1);
        if (!q.empty() && q.front() == '"') {
            std::size_t close = q.find('"', 1);
            if (close != std::string_view::npos) {
                q.remove_prefix(close + 1);
                while (!q.empty() && q.front() == ' ')
                    q.remove_prefix(1);
                command = q;
            }
        }
    }

    std::string out(address);
    if (bad)
        out += " (Bad Rcon)";
    out += ": ";
    out += command;
    line = std::move(out);
    return true;
}

} // namespace

namespace {
std::size_t entryBytes(const ConsoleEntry& entry) {
    return entry.text.size() + entry.timeStamp.size();
}
} // namespace

ConsoleLog::ConsoleLog(std::size_t maxEntries, std::size_t maxBytes)
    : m_maxEntries(std::max<std::size_t>(1, maxEntries)), m_maxBytes(maxBytes) {}

void ConsoleLog::setMaxEntries(std::size_t maxEntries) {
    m_maxEntries = std::max<std::size_t>(1, maxEntries);
    if (m_entries.size() > m_maxEntries)
        dropOldest(m_entries.size() - m_maxEntries);
}

void ConsoleLog::append(std::string text, std::string timeStamp, bool sentCommand) {
    m_entries.push_back(ConsoleEntry{std::move(text), std::move(timeStamp), sentCommand});
    m_bytes += entryBytes(m_entries.back());
    if (m_entries.size() > m_maxEntries)
        dropOldest(std::max<std::size_t>(1, m_maxEntries / 10));
    if (m_bytes > m_maxBytes) {
        // Down to nine tenths of the limit, so that a steady stream drops in batches.
        const std::size_t target = m_maxBytes - m_maxBytes / 10;
        std::size_t count = 0;
        for (std::size_t freed = 0; count + 1 < m_entries.size() && m_bytes - freed > target;)
            freed += entryBytes(m_entries[count++]);
        dropOldest(count);
    }
}

void ConsoleLog::dropOldest(std::size_t count) {
    for (; count > 0 && !m_entries.empty(); --count) {
        if (m_renderedCount > 0) {
            m_pendingCut += m_renderedLengths.front();
            m_renderedLengths.pop_front();
            --m_renderedCount;
        }
        m_bytes -= entryBytes(m_entries.front());
        m_entries.pop_front();
        ++m_droppedCount;
    }
}

ConsoleLog::Update ConsoleLog::render() {
    if (!m_renderedOnce || m_options != m_renderedOptions) {
        m_output.clear();
        m_renderedLengths.clear();
        for (const auto& entry : m_entries) {
            std::string piece = renderEntry(entry, m_options);
            m_renderedLengths.push_back(piece.size());
            m_output += piece;
        }
        m_renderedCount = m_entries.size();
        m_pendingCut = 0;
        m_renderedOptions = m_options;
        m_renderedOnce = true;
        return Update{true, m_output, {}};
    }
    Update update;
    if (m_pendingCut > 0) {
        update.dropped = m_output.substr(0, m_pendingCut);
        m_output.erase(0, m_pendingCut);
        m_pendingCut = 0;
    }
    std::size_t start = m_output.size();
    for (; m_renderedCount < m_entries.size(); ++m_renderedCount) {
        std::string piece = renderEntry(m_entries[m_renderedCount], m_options);
        m_renderedLengths.push_back(piece.size());
        m_output += piece;
    }
    update.text = std::string_view(m_output).substr(start);
    return update;
}

std::string ConsoleLog::renderEntry(const ConsoleEntry& entry, const ConsoleOptions& options) {
    std::string line = entry.text;
    if (entry.sentCommand) {
        if (!options.showSentCommands)
            return {};
        line.insert(0, "> ");
    } else {
        if (line.empty() && !options.showEmptyLines)
            return {};
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        if (options.convertLogMessages)
            convertLogLine(line);
    }

    std::string out;
    out.reserve(line.size() + entry.timeStamp.size() + 8);
    if (options.showDateTime) {
        out += entry.timeStamp;
        out += '\t';
    }
    for (char c : line) {
        if (c == '\n') {
            // Continuation lines line up under the text column.
            out += options.showDateTime ? "\r\n\t\t" : "\r\n";
        } else {
            out += c;
        }
    }
    out += "\r\n";
    return text::toDisplayUtf8(out);
}

std::string ConsoleLog::renderAll(const Entries& entries, const ConsoleOptions& options) {
    std::string out;
    for (const auto& entry : entries)
        out += renderEntry(entry, options);
    return out;
}

void ConsoleLog::convertLogLine(std::string& line) {
    if (!startsWith(line, "og L"))
        return;
    line.erase(0, kLogPrefixLength < line.size() ? kLogPrefixLength : line.size());

    std::string_view rest = line;
    std::string converted;
    if (convertQuotedRconLine(rest, converted)) {
        line = std::move(converted);
        return;
    }

    // The older form: Rcon from "ADDRESS:PORT":"(COMMAND)" and Bad Rcon from "...".
    constexpr std::string_view kBad = "Bad Rcon from \"";
    constexpr std::string_view kGood = "Rcon from \"";
    bool bad = false;
    std::string_view p = rest;
    if (startsWith(p, kBad)) {
        bad = true;
        p.remove_prefix(kBad.size());
    } else if (startsWith(p, kGood)) {
        p.remove_prefix(kGood.size());
    } else {
        return;
    }
    std::size_t at = p.find("\":\"(");
    if (at == std::string_view::npos || at == 0)
        return;
    std::string out(p.substr(0, at));
    if (bad)
        out += " (Bad Rcon)";
    out += ": ";
    std::size_t begin = at + 4;
    if (p.size() >= begin + 2)
        out += p.substr(begin, p.size() - begin - 2);
    line = std::move(out);
}

std::string ConsoleLog::timeStamp(const LocalDateTime& time) {
    return text::format("%02d/%02d/%02d %02d:%02d:%02d", time.month, time.day,
                        ((time.year % 100) + 100) % 100, time.hour, time.minute, time.second);
}

} // namespace ondel
