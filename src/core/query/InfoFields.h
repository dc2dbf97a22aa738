#pragma once

#include "serverlist/ServerEntry.h"

#include <cstdint>
#include <string>

namespace ondel {

// The record fields that both info replies (`m` and `I`) carry. A parser reads them all first
// and stores them only when its reply was long enough, so that a cut-off reply changes nothing.
struct InfoFields {
    std::string hostName;
    std::string map;
    std::string gameDir;
    std::string gameDescription;
    std::uint8_t players = 0;
    std::uint8_t maxPlayers = 0;
    std::uint8_t protocol = 0;
    std::uint8_t serverType = 0;
    std::uint8_t os = 0;
    std::uint8_t passwordRequired = 0;
    std::uint8_t isMod = 0;

    // Moves every field into entry; the record's other fields stay as they are.
    void storeIn(ServerEntry& entry) &&;
};

} // namespace ondel
