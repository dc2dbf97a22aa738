#include "browser/ScanTargets.h"
#include "serverlist/TargetAddress.h"

#include <algorithm>

namespace ondel {

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}
} // namespace

void addScanTarget(ScanTargets& targets, const ServerAddress& address) {
    if (!targets.seen.insert(addressText(address)).second) {
        ++targets.duplicates;
        return;
    }
    targets.addresses.push_back(address);
}

ScanTargets parseScanTargets(std::string_view text) {
    ScanTargets targets;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        std::string_view trimmed = line;
        while (!trimmed.empty() && isBlank(trimmed.front()))
            trimmed.remove_prefix(1);
        if (trimmed.empty() || trimmed.front() == '#')
            continue;
        // The address ends at the first blank of any kind; the rest is a comment.
        auto addressEnd = std::find_if(trimmed.begin(), trimmed.end(), isBlank);
        std::string_view word =
            trimmed.substr(0, static_cast<std::size_t>(addressEnd - trimmed.begin()));
        ServerAddress address = parseAddress(word);
        if (address.host.empty() || address.port <= 0) {
            targets.bad.push_back({lineNumber, std::string(line)});
            continue;
        }
        if (std::string refused = targetRefusal(address); !refused.empty()) {
            targets.bad.push_back({lineNumber, std::string(line), std::move(refused)});
            continue;
        }
        addScanTarget(targets, address);
    }
    return targets;
}

} // namespace ondel
