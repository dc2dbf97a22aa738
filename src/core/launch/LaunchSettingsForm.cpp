#include "LaunchSettingsForm.h"

#include "LaunchParameters.h"

#include <algorithm>

namespace ondel {

const std::array<LaunchSwitch, LaunchSettingsForm::kSwitchCount>& LaunchSettingsForm::switches() {
    static const std::array<LaunchSwitch, kSwitchCount> table = {{
        {"-console", 1045, "Enables the console"},
        {"-minmemory", 1046, "Start Half-Life with a minimum of memory"},
        {"-safe", 1047, "Start Half-Life in safe-mode"},
        {"-noipx", 1048, "Deactivates IPX protocol"},
        {"-win", 1049, "Start Half-Life in window instead of fullscreen"},
        {"-32bpp", 1050, "Start HL with 32bit (only software-mode!)"},
        {"-soft", 1056, "Software Rendering"},
        {"-numericping", 1052,
         "Replace's the Half-Life server browser's \"green dot\" latecy info with real numbers. "
         "Only available in v1.0.0.8 or later."},
        {"-gl", 1055, "OpenGL"},
        {"-full", 1053, "Start Half-Life in fullscreen"},
        {"-d3d", 1054, "Direct3D"},
    }};
    return table;
}

void LaunchSettingsForm::load(const LaunchSettings& stored) {
    m_hlDir = stored.hlDir;
    m_method = stored.method;
    m_steamCommand = stored.steamCommand.empty() ? "steam" : stored.steamCommand;
    m_connectionExit = stored.connectionExit != 0;
    std::vector<std::string> words = splitParameters(stored.parameters);
    // Looked up in this order; as every switch takes only its own first occurrence, the order
    // does not change the outcome.
    static constexpr std::array<const char*, kSwitchCount> lookupOrder = {
        "-32bpp", "-console",     "-minmemory", "-noipx", "-safe", "-win",
        "-soft",  "-numericping", "-gl",        "-full",  "-d3d"};
    for (const char* name : lookupOrder) {
        std::size_t index = 0;
        while (std::string_view(switches()[index].text) != name)
            ++index;
        auto it = std::find(words.begin(), words.end(), name);
        m_ticked[index] = it != words.end();
        if (it != words.end())
            words.erase(it);
    }
    m_additional = joinParameters(words);
    rebuild();
}

void LaunchSettingsForm::setTicked(std::size_t index, bool on) {
    m_ticked.at(index) = on;
    rebuild();
}

void LaunchSettingsForm::setAdditional(std::string text) {
    m_additional = std::move(text);
    rebuild();
}

void LaunchSettingsForm::rebuild() {
    m_words.clear();
    for (std::size_t i = 0; i < kSwitchCount; ++i) {
        if (m_ticked[i])
            m_words.push_back(switches()[i].text);
    }
    for (std::string& word : splitParameters(m_additional))
        m_words.push_back(std::move(word));
}

std::string LaunchSettingsForm::preview() const {
    const std::string program = m_method == LaunchMethod::Steam
                                    ? m_steamCommand + " -applaunch <APP ID>"
                                    : std::string(clientProgramName());
    return program + " [-game <MOD DIRECTORY>] +connect <SERVER> [+password <PASSWORD>] " +
           joinParameters(m_words);
}

LaunchSettings LaunchSettingsForm::result() const {
    LaunchSettings values;
    values.hlDir = m_hlDir;
    values.method = m_method;
    values.steamCommand = m_steamCommand;
    values.connectionExit = m_connectionExit ? 1 : 0;
    values.parameters = joinParameters(m_words);
    return values;
}

std::optional<std::string> LaunchSettingsForm::directoryOfChosenFile(std::string_view path) {
#ifdef _WIN32
    std::size_t cut = path.find_last_of("/\\");
#else
    // A backslash is an ordinary file name character here.
    std::size_t cut = path.find_last_of('/');
#endif
    if (cut == std::string_view::npos || cut < 2)
        return std::nullopt;
    return std::string(path.substr(0, cut));
}

} // namespace ondel
