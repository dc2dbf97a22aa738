#pragma once

#include "serverlist/ServerEntry.h"

#include <cstddef>
#include <cstdint>

namespace ondel {

// The rules reply (type `E`): FF FF FF FF 'E', an int16 count (not consulted), then name and
// value strings to the end of the datagram.
class RulesReplyParser {
public:
    // Parses a whole datagram (header included). Replaces entry.rules with every complete pair
    // in reply order (a pair cut off by the end is left out) and sets the five values picked
    // from the rules (pickRuleValues). Returns false, leaving entry untouched, when the data is
    // not an `E` reply or ends before the count field.
    static bool parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry);

    // Sets adminModVersion, reserveSlots, timeLeft, timeLimit and friendlyFire from the first
    // rule of each name (case-sensitive): an absent rule gives 0 (empty text); a value that
    // holds no number gives 0, or -1 for mp_timeleft.
    static void pickRuleValues(ServerEntry& entry);
};

} // namespace ondel
