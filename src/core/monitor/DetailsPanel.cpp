#include "DetailsPanel.h"

#include "launch/LaunchPlan.h"

#include "common/Clock.h"
#include "common/Text.h"
#include "serverlist/TargetAddress.h"

#include <charconv>
#include <filesystem>
#include <system_error>

namespace ondel {

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string unknownByte(std::uint8_t b) {
    // The byte was printed as a character into a C string, so a zero byte ended the text there.
    std::string text = "Unkown (";
    if (b == 0)
        return text;
    text.push_back(static_cast<char>(b));
    text.push_back(')');
    return text::toDisplayUtf8(text);
}

// Any kind of file system object counts; a path that cannot be examined counts as missing.
bool pathExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

std::string separator() {
    // The Half-Life installation paths use the platform's own separator.
    return std::string(1, static_cast<char>(std::filesystem::path::preferred_separator));
}

} // namespace

bool systemLocalTime(std::int64_t unixSeconds, std::tm& out) {
    auto t = static_cast<std::time_t>(unixSeconds);
    if (static_cast<std::int64_t>(t) != unixSeconds)
        return false;
    const std::tm* tm = std::localtime(&t);
    if (tm == nullptr)
        return false;
    out = *tm;
    return true;
}

std::string osText(std::uint8_t os) {
    if (os == 'l')
        return "Linux";
    if (os == 'w')
        return "Windows";
    return unknownByte(os);
}

std::string serverTypeText(std::uint8_t serverType) {
    if (serverType == 'l')
        return "Listen";
    if (serverType == 'd')
        return "Dedicated";
    return unknownByte(serverType);
}

std::string reservedSlotsSuffix(std::int32_t reserveSlots) {
    if (reserveSlots == 0)
        return {};
    return text::format(" (%d slot%s reserved)", reserveSlots, reserveSlots > 1 ? "s" : "");
}

std::string timeLeftText(std::int32_t timeLeft, const std::string& gameDir) {
    std::string text = text::format("%d:%02d", timeLeft / 60, timeLeft % 60);
    if (gameDir == "cstrike")
        text += " (not supported by CS)";
    return text;
}

std::string pingText(std::int32_t lastPing, float averagePing) {
    if (static_cast<std::uint32_t>(lastPing) >= 3000u)
        return "Timeout";
    // to_chars rounds like printf's "%.1f" but ignores the process locale, which the window
    // system may have set to one with a decimal comma.
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, averagePing, std::chars_format::fixed, 1);
    std::string average = result.ec == std::errc() ? std::string(buf, result.ptr) : "?";
    return text::format("%d (%s)", lastPing, average.c_str());
}

std::string lastConnectedText(std::int64_t lastConnected, LocalTimeFn localTime) {
    if (lastConnected == 0)
        return "-";
    // Milliseconds since 1601 to whole seconds since 1970, rounding toward the past. Seconds
    // first, so that no stored value (the files are not trusted) can overflow.
    std::int64_t seconds = lastConnected / 1000 - ((lastConnected % 1000) < 0 ? 1 : 0);
    seconds -= kMs1601To1970 / 1000;
    std::tm tm{};
    if (localTime == nullptr || !localTime(seconds, tm) || tm.tm_mon < 0 || tm.tm_mon > 11)
        return "-";
    int year = tm.tm_year % 100;
    if (year < 0)
        year += 100;
    return text::format("%02d %s %02d   %02d:%02d:%02d", tm.tm_mday, kMonths[tm.tm_mon], year,
                        tm.tm_hour, tm.tm_min, tm.tm_sec);
}

DetailsPanelTexts computeDetailsPanel(const ServerEntry& entry, const std::string& hlDir,
                                      LocalTimeFn localTime) {
    DetailsPanelTexts t;
    if (entry.infoValid) {
        const std::string sep = separator();
        const std::string gamePath = hlDir + sep + entry.gameDir;
        const std::string mapPath = gamePath + sep + "maps" + sep + entry.map + ".bsp";
        t.hostName = text::toDisplayUtf8(entry.hostName);
        t.game = text::toDisplayUtf8(entry.gameDescription);
        t.players = text::format("%d/%d", entry.players, entry.maxPlayers);
        t.map = text::toDisplayUtf8(entry.map);
        t.password = entry.passwordRequired != 0 ? "Yes" : "No";
        t.type = osText(entry.os) + ", " + serverTypeText(entry.serverType);
        // Names that are not plain never reach the file system (no "../" walks from a server).
        t.gameRed = !isPlainFolderName(entry.gameDir) || !pathExists(gamePath);
        t.mapRed = t.gameRed || !isPlainFolderName(entry.map) || !pathExists(mapPath);
        t.passwordRed = entry.passwordRequired != 0 && entry.password.empty();
    } else {
        t.hostName = t.game = t.players = t.map = t.password = t.type = "-";
        // An address that is never asked says so where the server's name would stand.
        if (std::string refused = targetRefusal(entry.address); !refused.empty())
            t.hostName = std::move(refused);
    }
    if (entry.rulesValid) {
        if (entry.friendlyFire == 0)
            t.friendlyFire = "No";
        else if (entry.friendlyFire == 1)
            t.friendlyFire = "Yes";
        else
            t.friendlyFire = "not specified";
        t.adminMod = entry.adminModVersion.empty()
                         ? "No"
                         : "Yes (Version " + text::toDisplayUtf8(entry.adminModVersion) + ")";
        t.timeLimit = text::format("%d min", entry.timeLimit);
        t.timeLeft = timeLeftText(entry.timeLeft, entry.gameDir);
        t.players += reservedSlotsSuffix(entry.reserveSlots);
    } else {
        t.friendlyFire = t.adminMod = t.timeLimit = t.timeLeft = "-";
    }
    t.lastConnected = lastConnectedText(entry.lastConnected, localTime);
    t.ping = pingText(entry.lastPing, entry.averagePing);
    return t;
}

} // namespace ondel
