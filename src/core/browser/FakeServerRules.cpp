#include "browser/FakeServerRules.h"

#include "common/Text.h"

#include <algorithm>
#include <cstdlib>

namespace ondel {

namespace {
// Players who joined between the details and the players replies.
constexpr int kCountSlack = 2;
// Fewer players than this with the same time is a small group that came together.
constexpr int kSameTimePlayers = 4;
} // namespace

std::string madeUpReason(const ScanEvidence& evidence) {
    if (!evidence.entry)
        return {};
    const ServerEntry& e = *evidence.entry;
    const int bots = std::max(evidence.bots, 0);
    const int slots = e.maxPlayers + std::max(e.reserveSlots, 0);
    if (e.players > slots)
        return text::format("more players than slots (%d of %d)", e.players, e.maxPlayers);
    if (!evidence.gotPlayers)
        return {};

    const auto listed = static_cast<int>(e.playerList.size());
    if (std::abs(listed - e.players) > bots + kCountSlack)
        return text::format("the player list holds %d players, the details say %d", listed,
                            e.players);

    if (listed - bots >= kSameTimePlayers) {
        auto [low, high] = std::minmax_element(
            e.playerList.begin(), e.playerList.end(),
            [](const PlayerRecord& a, const PlayerRecord& b) { return a.time < b.time; });
        if (static_cast<long long>(high->time) - low->time <= 1)
            return text::format("all %d players connected for the same time (%d s)", listed,
                                low->time);
    }
    return {};
}

} // namespace ondel
