#pragma once

#include "serverlist/ServerAddress.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// The servers the user never wants asked or shown, from blocklist.txt in the data folder: one
// entry a line, blanks around it and '#' comments (a line's rest after '#') ignored:
//   203.0.113.7          every port of one IPv4 address
//   203.0.113.0/24       a CIDR range
//   203.0.113.7:27015    one server (a host name is compared as typed)
//   name:*FREE VIP*      servers whose name matches the glob (* any run, ? one character,
//                        ASCII case ignored)
// Addresses and ranges are checked before anything is sent. A name is only known from a
// details answer, so a name entry takes effect once the server has answered: the scan that
// read the name reports it blocked, and it is not asked again while its name is known.
class Blocklist {
public:
    struct BadLine {
        std::size_t lineNumber = 0; // 1-based
        std::string text;
    };

    // Reads the text of the file; damaged lines are kept in badLines() and otherwise skipped.
    static Blocklist parse(std::string_view text);
    // Reads the file at path; a missing file is an empty list. Sets readError when the file
    // exists but cannot be read.
    static Blocklist load(const std::string& path, std::string* readError = nullptr);

    // The entry (as written in the file) that blocks the address, or nothing.
    std::optional<std::string> blockingAddress(const ServerAddress& address) const;
    // The name entry ("name:GLOB") whose glob matches the server name, or nothing.
    std::optional<std::string> blockingName(std::string_view name) const;

    const std::vector<BadLine>& badLines() const { return m_bad; }
    std::size_t size() const { return m_ranges.size() + m_servers.size() + m_names.size(); }
    bool empty() const { return size() == 0; }

    // The line the list takes to block one server, and one to block its whole address.
    static std::string serverLine(const ServerAddress& address);
    static std::optional<std::string> addressLine(const ServerAddress& address);

private:
    struct Range {
        std::uint32_t first = 0;
        std::uint32_t mask = 0;
        std::string text;
    };
    struct Server {
        ServerAddress address;
        std::string text;
    };
    struct Name {
        std::string glob;
        std::string text;
    };

    std::vector<Range> m_ranges;
    std::vector<Server> m_servers;
    std::vector<Name> m_names;
    std::vector<BadLine> m_bad;
};

// Whether text matches glob: '*' any run of characters (also none), '?' exactly one byte, every
// other byte itself with ASCII case ignored. Linear in the lengths (no backtracking blow-up).
bool globMatches(std::string_view glob, std::string_view text);

// Adds line to the blocklist file at path (created when missing), unless a line with the same
// text is there already. Written atomically. False when the file cannot be read or written.
bool appendBlocklistLine(const std::string& path, const std::string& line);

} // namespace ondel
