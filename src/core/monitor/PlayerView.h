#pragma once

#include "CellColour.h"
#include "serverlist/ServerEntry.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ondel {

// Sort state of the player view: the column a header click chose (0 index, 1 name, 2 frags,
// 3 time) and the direction. Starts by index, ascending.
struct PlayerSort {
    int column = 0;
    bool descending = false;

    // A click on header column c of the view (column 0 is the hidden one and changes nothing):
    // the same column again toggles the direction, another column sorts ascending by it.
    void headerClicked(int viewColumn);
};

// One row of the player view as it is to be shown: five cells (the hidden column 0, "#",
// "Name", "Frags", "Time") with a colour each, the player's index as the row's key, and the
// player's selected flag. Cell texts are UTF-8.
struct PlayerRow {
    std::uint8_t key = 0;
    bool selected = false;
    std::array<std::string, 5> cells;
    std::array<CellColour, 5> colours{kNormalColour, kNormalColour, kNormalColour, kNormalColour,
                                      kNormalColour};
};

// One row of the rules view: the hidden column, "#" (position from 1), "Name", "Value".
struct RuleRow {
    std::array<std::string, 4> cells;
};

// The players in the order the view shows them: a stable sort by the chosen column, so players
// that compare equal keep their reply order in both directions. Names compare byte by byte.
std::vector<const PlayerRecord*> sortedPlayers(const std::vector<PlayerRecord>& players,
                                               const PlayerSort& sort);

// The rows of the player view; nowTick is the millisecond tick counter (for the frag colours).
std::vector<PlayerRow> playerRows(const ServerEntry& entry, const PlayerSort& sort,
                                  std::uint32_t nowTick);
std::vector<RuleRow> ruleRows(const ServerEntry& entry);

// "%02d:%02d:%02d" of the seconds connected.
std::string playerTimeText(std::int32_t seconds);
// Red during the first minute, fading from red to normal during the second, then normal.
CellColour playerTimeColour(std::int32_t seconds);
// Blue for a gain, red for a loss, fading out over the 10 seconds after the change.
CellColour fragColour(const PlayerRecord& player, std::uint32_t nowTick);

// 0 while the data are at most staleAfterMs old (5 seconds unless the kind is asked less often),
// otherwise -50 (the view fades half-way to white). Both times are milliseconds since 1601.
int viewFadePercent(std::int64_t dataTime, std::int64_t now, std::int64_t staleAfterMs = 5000);

// Records a row's new selected state in the entry: the first player whose index is the key.
// Returns false when no player has that index.
bool setPlayerSelected(ServerEntry& entry, std::uint8_t key, bool selected);

} // namespace ondel
