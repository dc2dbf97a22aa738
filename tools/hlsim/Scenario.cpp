#include "Scenario.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <sstream>

namespace ondel::hlsim {

namespace {

// Splits a line into words at blanks; "double quoted" words may hold blanks (no escapes).
bool tokenize(std::string_view line, std::vector<std::string>& words, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '"') {
            auto end = line.find('"', i + 1);
            if (end == std::string_view::npos) {
                error = "unterminated quote";
                return false;
            }
            words.emplace_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        words.emplace_back(line.substr(start, i - start));
    }
    return true;
}

bool parseSeconds(const std::string& text, double& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    auto [end, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && end == last && out >= 0.0 && out <= 1.0e7;
}

bool parseInt(const std::string& text, int low, int high, int& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    auto [end, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && end == last && out >= low && out <= high;
}

struct ActionShape {
    ScenarioAction action;
    std::size_t minArgs;
    std::size_t maxArgs; // 0: no limit
};

const std::map<std::string, ActionShape>& actions() {
    static const std::map<std::string, ActionShape> table = {
        {"join", {ScenarioAction::Join, 1, 2}},   {"leave", {ScenarioAction::Leave, 1, 1}},
        {"frags", {ScenarioAction::Frags, 2, 2}}, {"kill", {ScenarioAction::Kill, 2, 3}},
        {"say", {ScenarioAction::Say, 2, 0}},     {"set", {ScenarioAction::Set, 2, 2}},
        {"rule", {ScenarioAction::Rule, 2, 2}},   {"unrule", {ScenarioAction::Unrule, 1, 1}},
        {"full", {ScenarioAction::Full, 0, 0}},   {"free", {ScenarioAction::Free, 1, 1}},
        {"log", {ScenarioAction::Log, 1, 0}},
    };
    return table;
}

// Checks the arguments of one action and fills number/relative. Returns an error text or "".
std::string checkArguments(ScenarioEvent& event) {
    const auto& a = event.args;
    switch (event.action) {
    case ScenarioAction::Join:
        if (a.size() == 2 && !parseInt(a[1], -1000000, 1000000, event.number))
            return "join: FRAGS must be a number";
        break;
    case ScenarioAction::Frags:
        event.relative = a[1].starts_with('+') || a[1].starts_with('-');
        if (!parseInt(a[1], -1000000, 1000000, event.number))
            return "frags: needs +N, -N or N";
        break;
    case ScenarioAction::Set:
        if (a[0] == "maxplayers") {
            if (!parseInt(a[1], 1, 255, event.number))
                return "set maxplayers: needs a number from 1 to 255";
        } else if (a[0] == "password") {
            if (!parseInt(a[1], 0, 1, event.number))
                return "set password: needs 0 or 1";
        } else if (a[0] != "name" && a[0] != "map" && a[0] != "desc") {
            return "set: unknown field \"" + a[0] + "\" (name, map, maxplayers, password, desc)";
        }
        break;
    case ScenarioAction::Free:
        if (!parseInt(a[0], 0, 255, event.number))
            return "free: SLOTS must be a number from 0 to 255";
        break;
    default:
        break;
    }
    return {};
}

} // namespace

std::optional<Scenario> Scenario::parse(std::string_view text, std::string& error) {
    Scenario scenario;
    double current = 0.0;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        auto fail = [&](const std::string& message) {
            error = "line " + std::to_string(lineNumber) + ": " + message;
            return std::nullopt;
        };

        std::vector<std::string> words;
        std::string tokenError;
        if (!tokenize(line, words, tokenError))
            return fail(tokenError);
        if (words.empty() || words[0].starts_with('#'))
            continue;

        std::size_t first = 0;
        if (words[0] == "at" || words[0] == "after" || words[0] == "loop") {
            double seconds = 0.0;
            if (words.size() < 2 || !parseSeconds(words[1], seconds))
                return fail(words[0] + " needs a number of seconds");
            if (words[0] == "loop") {
                if (words.size() != 2 || seconds < 0.1)
                    return fail("loop needs a number of seconds (at least 0.1) and nothing else");
                scenario.m_loopSeconds = seconds;
                continue;
            }
            current = words[0] == "at" ? seconds : current + seconds;
            first = 2;
            if (words.size() == first)
                return fail("an action must follow the time");
        }

        auto shape = actions().find(words[first]);
        if (shape == actions().end())
            return fail("unknown action \"" + words[first] + "\"");
        ScenarioEvent event;
        event.at = current;
        event.action = shape->second.action;
        event.line = lineNumber;
        event.args.assign(words.begin() + static_cast<std::ptrdiff_t>(first) + 1, words.end());
        if (event.args.size() < shape->second.minArgs ||
            (shape->second.maxArgs != 0 && event.args.size() > shape->second.maxArgs) ||
            (shape->second.maxArgs == 0 && shape->second.minArgs == 0 && !event.args.empty()))
            return fail("wrong number of words after \"" + words[first] + "\"");
        if (auto message = checkArguments(event); !message.empty())
            return fail(message);
        scenario.m_events.push_back(std::move(event));
    }

    std::stable_sort(scenario.m_events.begin(), scenario.m_events.end(),
                     [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.at < b.at; });
    if (scenario.m_loopSeconds > 0.0) {
        for (const auto& event : scenario.m_events) {
            if (event.at > scenario.m_loopSeconds) {
                error = "line " + std::to_string(event.line) +
                        ": the event comes after the loop time and would never run";
                return std::nullopt;
            }
        }
    }
    return scenario;
}

std::optional<Scenario> Scenario::load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    auto scenario = parse(content.str(), error);
    if (!scenario)
        error = path + ": " + error;
    return scenario;
}

std::vector<ScenarioEvent> Scenario::due(double seconds) {
    std::vector<ScenarioEvent> result;
    for (;;) {
        if (m_next < m_events.size() && m_cycleStart + m_events[m_next].at <= seconds) {
            result.push_back(m_events[m_next++]);
        } else if (m_loopSeconds > 0.0 && m_cycleStart + m_loopSeconds <= seconds) {
            // Events not yet run stay skipped only if they lie beyond the loop, which parse()
            // refuses; so a cycle always runs whole before the next starts.
            m_cycleStart += m_loopSeconds;
            m_next = 0;
        } else {
            break;
        }
    }
    return result;
}

std::optional<double> Scenario::nextTime() const {
    if (m_next < m_events.size())
        return m_cycleStart + m_events[m_next].at;
    if (m_loopSeconds > 0.0)
        return m_cycleStart + m_loopSeconds;
    return std::nullopt;
}

} // namespace ondel::hlsim
