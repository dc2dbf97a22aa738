#include "history/HistorySamples.h"

#include "browser/Scan.h"
#include "serverlist/ServerAddress.h"
#include "serverlist/ServerEntry.h"
#include "settings/SettingsKeys.h"

#include <algorithm>

namespace ondel {

namespace {

// "010.000.0.1" -> "10.0.0.1"; anything that is not four numbers of 0..255 stays as it is.
std::string normalisedHost(const std::string& host) {
    if (!isDottedText(host))
        return host;
    std::string out;
    int parts = 0;
    std::size_t i = 0;
    while (i <= host.size()) {
        std::size_t end = host.find('.', i);
        if (end == std::string::npos)
            end = host.size();
        if (end == i || end - i > 3)
            return host;
        int value = 0;
        for (std::size_t k = i; k < end; ++k)
            value = value * 10 + (host[k] - '0');
        if (value > 255)
            return host;
        if (parts++ > 0)
            out += '.';
        out += std::to_string(value);
        i = end + 1;
    }
    return parts == 4 ? out : host;
}

} // namespace

std::string historyKey(const ServerAddress& address) {
    return normalisedHost(address.host) + ':' + std::to_string(address.port);
}

HistorySample sampleFromScan(const ScanResult& result, std::int64_t timeMs) {
    if (result.status != ScanResult::Status::Up)
        return missSample(result.address, timeMs);
    HistorySample s = sampleFromEntry(result.entry, result.bots, timeMs);
    s.server = historyKey(result.address);
    s.pingMs = result.pingMs;
    return s;
}

HistorySample sampleFromEntry(const ServerEntry& entry, int bots, std::int64_t timeMs) {
    HistorySample s;
    s.server = historyKey(entry.address);
    s.timeMs = timeMs;
    s.up = true;
    s.players = entry.players;
    s.bots = bots;
    s.maxPlayers = entry.maxPlayers;
    s.map = entry.map;
    s.pingMs = entry.lastPing;
    return s;
}

HistorySample missSample(const ServerAddress& address, std::int64_t timeMs) {
    HistorySample s;
    s.server = historyKey(address);
    s.timeMs = timeMs;
    return s;
}

HistoryRetention historyRetention(const SettingsStore& settings) {
    HistoryRetention r;
    r.rawHours = std::clamp(settings::read(settings, settings::kHistoryRawHours), 1, 24 * 366);
    r.foldedDays = std::clamp(settings::read(settings, settings::kHistoryDays), 1, 3660);
    return r;
}

} // namespace ondel
