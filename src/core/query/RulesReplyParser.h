#pragma once

#include "serverlist/ServerEntry.h"

#include <cstddef>
#include <cstdint>

namespace ondel {

// The rules reply (type `E`): FF FF FF FF 'E', an int16 count, then name and value strings to
// the end of the datagram.
class RulesReplyParser {
public:
    // Parses a whole datagram (header included). Replaces entry.rules with every pair in reply
    // order (more pairs than the count, or any number when it is 0, are taken) and sets the five
    // values picked from the rules (pickRuleValues). Returns false, leaving entry untouched, when
    // the data is not an `E` reply or is cut short: it ends before the count field, inside a
    // pair, or with fewer pairs than the count.
    static bool parse(const std::uint8_t* data, std::size_t n, ServerEntry& entry);

    // Sets adminModVersion, reserveSlots, timeLeft, timeLimit and friendlyFire from the first
    // rule of each name (case-sensitive): an absent rule gives 0 (empty text); a value that
    // holds no number gives 0, or -1 for mp_timeleft.
    static void pickRuleValues(ServerEntry& entry);
};

} // namespace ondel
