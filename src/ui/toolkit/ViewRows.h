#pragma once

#include "monitor/PlayerView.h"
#include "ui/toolkit/ColorListCtrl.h"
#include "ui/toolkit/PlainText.h"

namespace ondel {

// The monitor's player and rules rows into a ColorListCtrl row (its hidden column 0 untouched):
// the texts of the visible columns and, for players, the colours that are not the normal one.
// The row's key and selection are the caller's.
inline void setPlayerCells(ColorListCtrl& view, int row, const PlayerRow& player) {
    for (int col = 1; col < 5; ++col) {
        const auto c = static_cast<std::size_t>(col);
        view.setItemText(row, col, displayText(player.cells[c]));
        if (player.colours[c] != kNormalColour)
            view.setCellColour(row, col, player.colours[c]);
    }
}

inline void setRuleCells(ColorListCtrl& view, int row, const RuleRow& rule) {
    for (int col = 1; col < 4; ++col)
        view.setItemText(row, col, displayText(rule.cells[static_cast<std::size_t>(col)]));
}

} // namespace ondel
