#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ondel {

// Where the master server is: a host name or address and a port (80 unless given).
struct MasterHost {
    std::string host;
    int port = 80;
    friend bool operator==(const MasterHost&, const MasterHost&) = default;
};

// Parses "host" or "host:port" (blanks around it ignored). Empty text, an empty host, or a port
// that is not a number in 1..65535 gives nothing: the master session is disabled.
std::optional<MasterHost> parseMasterHost(std::string_view text);

} // namespace ondel
