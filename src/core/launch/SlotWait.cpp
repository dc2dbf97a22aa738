#include "SlotWait.h"

#include "common/Text.h"

namespace ondel {

std::int32_t effectiveReservedSlots(const ServerEntry& entry) {
    return entry.reservedSlots == -1 ? entry.reserveSlots : entry.reservedSlots;
}

bool hasFreeSlot(const ServerEntry& entry) {
    if (!entry.infoValid)
        return false;
    // Widened to 64 bits: a hostile reserve_slots value near INT32_MIN must not overflow.
    std::int64_t players = entry.players;
    std::int64_t maxPlayers = entry.maxPlayers;
    return maxPlayers > players + effectiveReservedSlots(entry);
}

std::string slotWaitPingText(const ServerEntry& entry) {
    if (static_cast<std::uint32_t>(entry.lastPing) >= 3000u)
        return "Timeout";
    return text::format("%d (%.1f)", entry.lastPing, static_cast<double>(entry.averagePing));
}

SlotWaitView slotWaitView(const ServerEntry& entry, std::uint32_t elapsedMs) {
    SlotWaitView view;
    view.time = text::format("%02u:%02u", elapsedMs / 60000u, (elapsedMs / 1000u) % 60u);
    view.ping = slotWaitPingText(entry);
    view.reserved = std::to_string(effectiveReservedSlots(entry));
    if (entry.infoValid) {
        view.map = text::toDisplayUtf8(entry.map);
        view.players = text::format("%d/%d", entry.players, entry.maxPlayers);
        view.slotFree = hasFreeSlot(entry);
    } else {
        view.map = "-";
        view.players = "-";
    }
    return view;
}

} // namespace ondel
