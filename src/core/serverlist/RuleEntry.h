#pragma once

#include <string>

namespace ondel {

// One console variable of a server, as the rules reply gave it (bytes as received).
struct RuleEntry {
    std::string name;
    std::string value;
    friend bool operator==(const RuleEntry&, const RuleEntry&) = default;
};

} // namespace ondel
