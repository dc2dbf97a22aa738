#include "PlayerView.h"

#include "common/Text.h"

#include <algorithm>

namespace ondel {

void PlayerSort::headerClicked(int viewColumn) {
    if (viewColumn <= 0 || viewColumn > 4)
        return;
    if (viewColumn - 1 == column) {
        descending = !descending;
    } else {
        column = viewColumn - 1;
        descending = false;
    }
}

namespace {

// <0, 0, >0 for a against b by the sort column.
int comparePlayers(const PlayerRecord& a, const PlayerRecord& b, int column) {
    switch (column) {
    case 1:
        // std::string compares as unsigned bytes, case-sensitive.
        return a.name.compare(b.name);
    case 2:
        return a.frags < b.frags ? -1 : (a.frags > b.frags ? 1 : 0);
    case 3:
        return a.time < b.time ? -1 : (a.time > b.time ? 1 : 0);
    default:
        return a.index < b.index ? -1 : (a.index > b.index ? 1 : 0);
    }
}

} // namespace

std::vector<const PlayerRecord*> sortedPlayers(const std::vector<PlayerRecord>& players,
                                               const PlayerSort& sort) {
    std::vector<const PlayerRecord*> order;
    order.reserve(players.size());
    for (const PlayerRecord& p : players)
        order.push_back(&p);
    // Only a strictly "sorts after" result moves an element, so equal players keep their order
    // whichever the direction.
    std::stable_sort(order.begin(), order.end(), [&](const PlayerRecord* a, const PlayerRecord* b) {
        int c = comparePlayers(*a, *b, sort.column);
        return sort.descending ? c > 0 : c < 0;
    });
    return order;
}

std::string playerTimeText(std::int32_t seconds) {
    return text::format("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

CellColour playerTimeColour(std::int32_t seconds) {
    if (seconds < 60)
        return kRed;
    if (seconds < 120)
        return rgb(((180 - seconds) * 255 / 60) % 256, 0, 0);
    return kNormalColour;
}

CellColour fragColour(const PlayerRecord& player, std::uint32_t nowTick) {
    std::uint32_t elapsed = nowTick - player.fragChangeTick;
    if (elapsed >= 10000u)
        return kNormalColour;
    int v = static_cast<int>((10000u - elapsed) * 255u / 10000u % 256u);
    return player.fragChange > 0 ? rgb(0, 0, v) : rgb(v, 0, 0);
}

std::vector<PlayerRow> playerRows(const ServerEntry& entry, const PlayerSort& sort,
                                  std::uint32_t nowTick) {
    std::vector<PlayerRow> rows;
    for (const PlayerRecord* p : sortedPlayers(entry.playerList, sort)) {
        PlayerRow row;
        row.key = p->index;
        row.selected = p->selected != 0;
        row.cells[1] = text::format("%02d", p->index);
        row.cells[2] = text::toDisplayUtf8(p->name);
        row.cells[3] = text::format("%d", p->frags);
        row.cells[4] = playerTimeText(p->time);
        row.colours[4] = playerTimeColour(p->time);
        row.colours[3] = fragColour(*p, nowTick);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<RuleRow> ruleRows(const ServerEntry& entry) {
    std::vector<RuleRow> rows;
    rows.reserve(entry.rules.size());
    int position = 1;
    for (const RuleEntry& rule : entry.rules) {
        RuleRow row;
        row.cells[1] = text::format("%02d", position++);
        row.cells[2] = text::toDisplayUtf8(rule.name);
        row.cells[3] = text::toDisplayUtf8(rule.value);
        rows.push_back(std::move(row));
    }
    return rows;
}

int viewFadePercent(std::int64_t dataTime, std::int64_t now, std::int64_t staleAfterMs) {
    // Written without the sum so that a hostile stored time near the limit cannot overflow.
    return dataTime >= now - staleAfterMs ? 0 : -50;
}

bool setPlayerSelected(ServerEntry& entry, std::uint8_t key, bool selected) {
    for (PlayerRecord& p : entry.playerList) {
        if (p.index == key) {
            p.selected = selected ? 1 : 0;
            return true;
        }
    }
    return false;
}

} // namespace ondel
