#pragma once

#include "serverlist/ServerAddress.h"

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// A line of a server text that is not an address.
struct BadTargetLine {
    std::size_t lineNumber = 0; // 1-based
    std::string text;           // the line as it stands (bytes, without its line end)
    std::string why = "not a server address";
};

struct ScanTargets {
    std::vector<ServerAddress> addresses; // in file order, each server once
    std::vector<BadTargetLine> bad;
    std::size_t duplicates = 0; // lines naming a server already listed (skipped)
    std::set<std::string> seen; // "host:port" of every address taken
};

// Reads a text of servers, one HOST:PORT a line (LF or CRLF). Blank lines and lines whose first
// non-blank character is '#' are skipped; blanks around the address are allowed, and anything
// after a blank behind it is a comment. A line that is not an address with a port from 1 to
// 65535, or one that is never asked (targetRefusal), goes to bad. Pure function.
ScanTargets parseScanTargets(std::string_view text);

// Adds address to targets unless it is already there (same host text and port).
void addScanTarget(ScanTargets& targets, const ServerAddress& address);

} // namespace ondel
