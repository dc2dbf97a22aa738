#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace ondel {

// One text the console received (or one of its own message lines), with its local arrival time.
struct ConsoleEntry {
    std::string text;         // bytes exactly as delivered by the print handler
    std::string timeStamp;    // "MM/DD/YY HH:MM:SS", 17 characters
    bool sentCommand = false; // a command this console sent, shown as "> COMMAND"
};

// The console's three display options.
struct ConsoleOptions {
    bool showDateTime = true;
    bool showEmptyLines = false;
    bool convertLogMessages = false;
    bool showSentCommands = true;
    friend bool operator==(const ConsoleOptions&, const ConsoleOptions&) = default;
};

// Local calendar time, broken down by the caller (the core makes no OS calls).
struct LocalDateTime {
    int year = 1970; // full year, e.g. 2014
    int month = 1;   // 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The console's history and its rendered output text. The history keeps the latest maxEntries
// entries, and no more than maxBytes of entry text (text and time stamp): when a new entry goes
// over either, the oldest tenth goes at once (so that cutting the front of the output costs O(1)
// an entry over time). The newest entry always stays. The output is the concatenation of every
// kept entry's rendering (see renderEntry), so a new entry under unchanged options only appends
// its own rendering (after cutting what the dropped entries had rendered); an option change
// renders everything again. Either way the text is the same as renderAll gives.
// Not thread-safe; the console uses it on the GUI thread.
class ConsoleLog {
public:
    using Entries = std::deque<ConsoleEntry>;
    static constexpr std::size_t kDefaultMaxEntries = 100000;
    // A server that prints without end fills this in seconds; real sessions rarely do.
    static constexpr std::size_t kDefaultMaxBytes = 8u << 20;

    // What render() changed: either the whole text (replaceAll) or text appended at its end,
    // after the text in dropped was cut from its front (the rendering of entries dropped since
    // the last render). The view points into the log's own text and is valid until the log
    // changes again.
    struct Update {
        bool replaceAll = false;
        std::string_view text;
        std::string dropped;
    };

    explicit ConsoleLog(std::size_t maxEntries = kDefaultMaxEntries,
                        std::size_t maxBytes = kDefaultMaxBytes);

    void append(std::string text, std::string timeStamp, bool sentCommand = false);
    const Entries& entries() const { return m_entries; }
    std::size_t size() const { return m_entries.size(); }
    // How many entries were dropped, oldest first, since the log was made.
    std::size_t droppedCount() const { return m_droppedCount; }
    std::size_t maxEntries() const { return m_maxEntries; }
    // Bytes of entry text held now (text and time stamps).
    std::size_t bytes() const { return m_bytes; }
    // At least 1; a smaller limit than the current size drops the oldest entries at once.
    void setMaxEntries(std::size_t maxEntries);

    void setOptions(const ConsoleOptions& options) { m_options = options; }
    const ConsoleOptions& options() const { return m_options; }

    // Brings the output text up to date and says what changed. A call with nothing new returns
    // an empty append.
    Update render();
    // The output as of the last render().
    const std::string& text() const { return m_output; }

    // One entry's part of the output, shown as UTF-8: empty when the entry is skipped (an empty
    // text without showEmptyLines, a sent command without showSentCommands), otherwise
    // the optional time stamp and tab, the text (without one final line feed, log lines
    // converted when asked, inner line feeds as CR LF, followed by two tabs when the date column
    // is shown) and CR LF. Each entry is decoded on its own (valid UTF-8 kept, other bytes as
    // Windows-1252), so an entry's rendering never depends on its neighbours. A sent command is
    // one line "> COMMAND", never converted.
    static std::string renderEntry(const ConsoleEntry& entry, const ConsoleOptions& options);
    static std::string renderAll(const Entries& entries, const ConsoleOptions& options);

    // Rewrites a server log line ("og L MM/DD/YYYY - HH:MM:SS: ...", the print reply's text after
    // its type byte) into a short form: an RCON command becomes "ADDRESS: COMMAND" (with
    // " (Bad Rcon)" before the colon for a rejected one); any other log line loses its 28-byte
    // date prefix. Other texts are left alone.
    static void convertLogLine(std::string& line);

    static std::string timeStamp(const LocalDateTime& time);

private:
    void dropOldest(std::size_t count);

    Entries m_entries;
    std::size_t m_maxEntries;
    std::size_t m_maxBytes;
    std::size_t m_bytes = 0;
    std::size_t m_droppedCount = 0;
    ConsoleOptions m_options;
    std::string m_output;
    // The rendered length of each of the first m_renderedCount entries, in order.
    std::deque<std::size_t> m_renderedLengths;
    std::size_t m_renderedCount = 0;
    // Bytes at the front of m_output that belong to entries dropped since the last render.
    std::size_t m_pendingCut = 0;
    ConsoleOptions m_renderedOptions;
    bool m_renderedOnce = false;
};

} // namespace ondel
