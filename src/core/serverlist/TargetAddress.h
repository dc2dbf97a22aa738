#pragma once

#include "ServerAddress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ondel {

// Which addresses are asked, and in which form. parseAddress and the list reader write dotted
// hosts plain (normaliseDottedHost), so that the text a server is known by is the text its
// replies come from.

// The IPv4 address (host byte order) of a dotted quad: exactly four decimal parts of 1 to 3
// digits, each at most 255. Shorter forms ("1.2.3") and octal or hex parts are not taken.
std::optional<std::uint32_t> dottedQuadValue(std::string_view host);

// Rewrites a dotted host with leading zeros ("127.000.000.001", "127.0.0.01") as the text
// replies come from ("127.0.0.1"): the parts are decimal, as the socket reads them. Leaves any
// other text (a name, a part over 255 or of more than three digits) as it is; returns whether
// the host is a valid dotted quad.
bool normaliseDottedHost(std::string& host);

// Why nothing may be sent to the address: it is in 0.0.0.0/8 ("this network"), the limited
// broadcast 255.255.255.255, multicast 224.0.0.0/4 or reserved 240.0.0.0/4. Empty when the
// address may be asked. Only dotted hosts are judged here; names are judged by the socket once
// resolved (isRefusedTarget).
std::string targetRefusal(const ServerAddress& address);
// The same rule for an IPv4 address in host byte order.
bool isRefusedTarget(std::uint32_t ipv4);

} // namespace ondel
