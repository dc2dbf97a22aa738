#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel::hlsim {

enum class ScenarioAction {
    Join,   // join NAME [FRAGS]
    Leave,  // leave NAME
    Frags,  // frags NAME +N | -N | N
    Kill,   // kill KILLER VICTIM [WEAPON]
    Say,    // say NAME TEXT...
    Set,    // set name|map|maxplayers|password|desc VALUE
    Rule,   // rule NAME VALUE
    Unrule, // unrule NAME
    Full,   // full
    Free,   // free SLOTS
    Log,    // log TEXT...
};

struct ScenarioEvent {
    double at = 0.0; // seconds from the start of the (loop) cycle
    ScenarioAction action = ScenarioAction::Log;
    std::vector<std::string> args; // words after the action, quotes removed
    int number = 0;                // FRAGS / N / SLOTS
    bool relative = false;         // frags given as +N or -N
    int line = 0;
};

// A timed list of state changes read from a small text file (format in tools/hlsim/README.md),
// with its own playback position. Each simulated server owns a copy and calls due() with its
// clock; the events come back in time order, and with "loop" the list starts over.
class Scenario {
public:
    // Parses the text; on failure returns nothing and sets error to "line N: message".
    static std::optional<Scenario> parse(std::string_view text, std::string& error);
    // Reads and parses a file; the error names the file.
    static std::optional<Scenario> load(const std::string& path, std::string& error);

    // The events whose time has come by `seconds` since the start, each returned once.
    std::vector<ScenarioEvent> due(double seconds);
    // Seconds (since the start) of the next event, or nothing when none will come.
    std::optional<double> nextTime() const;

    const std::vector<ScenarioEvent>& events() const { return m_events; }
    double loopSeconds() const { return m_loopSeconds; }

private:
    std::vector<ScenarioEvent> m_events;
    double m_loopSeconds = 0.0; // 0: no loop
    double m_cycleStart = 0.0;
    std::size_t m_next = 0;
};

} // namespace ondel::hlsim
