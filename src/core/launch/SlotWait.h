#pragma once

#include "serverlist/ServerEntry.h"

#include <cstdint>
#include <string>

namespace ondel {

// The reserved slots that a free slot must lie beyond: the entry's own choice, or the server's
// reserve_slots variable when the choice is "Auto" (-1).
std::int32_t effectiveReservedSlots(const ServerEntry& entry);

// True when the entry has details and more player slots than players plus reserved slots.
bool hasFreeSlot(const ServerEntry& entry);

// The texts of the "Wait for free Slot ..." dialog for one refresh (UTF-8 for display).
struct SlotWaitView {
    std::string time;      // "%02d:%02d" minutes and seconds since the dialog was created
    std::string ping;      // "%d (%.1f)" or "Timeout"
    std::string players;   // "%d/%d" or "-"
    std::string map;       // the map, or "-"
    std::string reserved;  // the effective reserved slots
    bool slotFree = false; // the dialog ends with OK
};

// elapsedMs: tick difference since the dialog was created (mod 2^32).
SlotWaitView slotWaitView(const ServerEntry& entry, std::uint32_t elapsedMs);

// "%d (%.1f)" with lastPing and averagePing, or "Timeout" when lastPing is 3000 or more
// (compared as unsigned, so a negative value is a timeout too).
std::string slotWaitPingText(const ServerEntry& entry);

} // namespace ondel
