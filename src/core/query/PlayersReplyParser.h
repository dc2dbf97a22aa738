#pragma once

#include "serverlist/PlayerRecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ondel {

// The players reply (type `D`): FF FF FF FF 'D', a count byte, then per player an index byte
// (1, 2, ...), the name string, int32 frags and a float32 of seconds connected.
class PlayersReplyParser {
public:
    // Parses a whole datagram (header included) into players, with the working fields 0.
    // Reading stops at the first record whose index byte is out of sequence (the server ends its
    // list there); the complete records before it are kept. acceptZeroIndex also takes an index
    // byte of 0 (Steam-era servers send 0 for every player). Returns false, leaving players
    // untouched, when the data is not a `D` reply or is cut short: it ends before the count byte
    // or before the last of the records the count announces.
    static bool parse(const std::uint8_t* data, std::size_t n, std::vector<PlayerRecord>& players,
                      bool acceptZeroIndex = false);

    // Carries the player view's working fields from the previous list to the new one: per
    // previous record (in order) the first new record with a byte-equal name gets its selection,
    // and its frag change: kept when the frags are equal, otherwise the new difference (8 bits)
    // stamped with tickNow.
    static void carryOver(const std::vector<PlayerRecord>& previous,
                          std::vector<PlayerRecord>& players, std::uint32_t tickNow);

    // Whole seconds from the reply's float, toward zero; NaN gives 0 and values beyond the int32
    // range give its ends.
    static std::int32_t wholeSeconds(float seconds);
};

} // namespace ondel
