#pragma once

#include "LaunchPlan.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// One switch check box of the launch settings dialog.
struct LaunchSwitch {
    const char* text; // the switch as passed to the client, e.g. "-console"
    int controlId;    // the check box's control id, also the string id of its tooltip
    const char* tooltip;
};

// The state behind the launch settings dialog: the directory, the quit-on-launch choice, the
// ticked switches and the additional parameter text, and the working list of words that OK
// stores. The window only copies control states in and out. GUI thread only.
class LaunchSettingsForm {
public:
    static constexpr std::size_t kSwitchCount = 11;
    // The switches in the order in which ticked ones are written to the parameters.
    static const std::array<LaunchSwitch, kSwitchCount>& switches();

    // Takes the stored values apart: each switch of the table found as a word (exactly, case
    // counts; first occurrence only) is ticked and removed; the remaining words become the
    // additional parameters.
    void load(const LaunchSettings& stored);

    const std::string& hlDir() const { return m_hlDir; }
    void setHlDir(std::string dir) { m_hlDir = std::move(dir); }
    LaunchMethod method() const { return m_method; }
    void setMethod(LaunchMethod method) { m_method = method; }
    bool connectionExit() const { return m_connectionExit; }
    void setConnectionExit(bool on) { m_connectionExit = on; }
    bool ticked(std::size_t index) const { return m_ticked.at(index); }
    void setTicked(std::size_t index, bool on);
    const std::string& additional() const { return m_additional; }
    void setAdditional(std::string text);

    // The parameters as they will be stored: ticked switches in table order, then the words of
    // the additional text.
    const std::vector<std::string>& words() const { return m_words; }
    // "<client> [-game <MOD DIRECTORY>] +connect <SERVER> [+password <PASSWORD>] " and the words;
    // through Steam "<steam> -applaunch <APP ID> [-game <MOD DIRECTORY>] +connect ..." instead.
    std::string preview() const;
    // The values that OK writes.
    LaunchSettings result() const;

    // Browse: the directory of a chosen file (cut at its last separator), or nothing when less
    // than two characters would remain.
    static std::optional<std::string> directoryOfChosenFile(std::string_view path);

private:
    void rebuild();

    std::string m_hlDir;
    LaunchMethod m_method = LaunchMethod::Direct;
    std::string m_steamCommand = "steam";
    bool m_connectionExit = false;
    std::array<bool, kSwitchCount> m_ticked{};
    std::string m_additional;
    std::vector<std::string> m_words;
};

} // namespace ondel
