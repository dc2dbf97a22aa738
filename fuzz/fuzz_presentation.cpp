// What the monitor window shows of a server record whose every field is hostile: the records
// come out of a list file (arbitrary bytes), so texts, counts, times, pings and player records
// take any value. No crash, no undefined behaviour, and every text is valid UTF-8.
#include "FuzzCheck.h"

#include "common/Text.h"
#include "monitor/DetailsPanel.h"
#include "monitor/PlayerView.h"
#include "monitor/WindowTitle.h"
#include "serverlist/ListFileFormat.h"

#include <cstdint>
#include <span>
#include <string>

using namespace ondel;

namespace {

void checkText(const std::string& s) {
    FUZZ_CHECK(text::isValidUtf8(s));
}

void present(const ServerEntry& e) {
    DetailsPanelTexts t = computeDetailsPanel(e, "/nonexistent-hl");
    for (const std::string* s :
         {&t.hostName, &t.lastConnected, &t.game, &t.players, &t.map, &t.password, &t.type,
          &t.adminMod, &t.friendlyFire, &t.timeLimit, &t.timeLeft, &t.ping})
        checkText(*s);
    for (TitleMode mode : {TitleMode::Normal, TitleMode::Minimized, TitleMode::Connected})
        checkText(windowTitle(e, mode));
    checkText(bandwidthText(e.lastPing));
    checkText(timeLeftText(e.timeLeft, e.gameDir));

    const std::uint32_t now = static_cast<std::uint32_t>(e.infoTime);
    for (int column = 0; column < 4; ++column) {
        PlayerSort sort{column, (e.infoValid & 1) != 0};
        auto rows = playerRows(e, sort, now);
        FUZZ_CHECK(rows.size() == e.playerList.size());
        for (const auto& row : rows)
            for (const auto& cell : row.cells)
                checkText(cell);
    }
    for (const auto& p : e.playerList) {
        checkText(playerTimeText(p.time));
        playerTimeColour(p.time);
        fragColour(p, now);
    }
    auto rules = ruleRows(e);
    FUZZ_CHECK(rules.size() == e.rules.size());
    for (const auto& row : rules)
        for (const auto& cell : row.cells)
            checkText(cell);
    // The stored times against the clock's (sane) now.
    constexpr std::int64_t kNow = 13'400'000'000'000LL;
    FUZZ_CHECK(viewFadePercent(e.playersTime, kNow) == (e.playersTime >= kNow - 5000 ? 0 : -50));
    viewFadePercent(e.rulesTime, kNow);

    ServerEntry copy = e;
    for (const auto& p : e.playerList)
        setPlayerSelected(copy, p.index, true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    listfile::Contents c = listfile::decode(std::span<const std::uint8_t>(data, size));
    std::size_t shown = 0;
    for (auto& e : c.entries) {
        if (++shown > 8)
            break;
        present(e);
        // The same record as a server that has not answered yet.
        e.infoValid = 0;
        e.rulesValid = 0;
        present(e);
    }
    return 0;
}
