#pragma once

#include <cstdint>
#include <string>

namespace ondel {

// One player of a players reply. The last three fields are working state of the player view
// (frag highlight and selection); they are never stored in list files and start at 0.
struct PlayerRecord {
    std::uint8_t index = 0;
    std::string name;
    std::int32_t frags = 0;
    std::int32_t time = 0; // whole seconds connected

    std::int8_t fragChange = 0;
    std::uint32_t fragChangeTick = 0;
    std::int32_t selected = 0;

    friend bool operator==(const PlayerRecord&, const PlayerRecord&) = default;
};

} // namespace ondel
