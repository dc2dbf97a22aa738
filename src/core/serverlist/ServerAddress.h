#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ondel {

// A game server's address as the user typed it. Two addresses are the same server when the
// ports are equal and the host texts are equal byte for byte (case counts).
struct ServerAddress {
    std::string host;
    std::int32_t port = 0;

    bool empty() const { return host.empty() && port == 0; }
    friend bool operator==(const ServerAddress&, const ServerAddress&) = default;
};

// Parses "host:port" typed by the user (anything after the first blank is ignored). Dotted hosts
// need exactly three dots and digits only; names need at least two dots and must start with a
// letter. Ports are up to five digits and must be at most 65535. Failure gives the empty address.
ServerAddress parseAddress(std::string_view text);

// "host:port".
std::string addressText(const ServerAddress& address);

bool isSameServer(const ServerAddress& a, const ServerAddress& b);

// True for a host text of digits and dots only (not empty): an address typed as numbers, which
// is never looked up as a name.
bool isDottedText(std::string_view host);

} // namespace ondel
