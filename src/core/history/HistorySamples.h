#pragma once

#include "history/HistoryStore.h"

#include <cstdint>
#include <string>

namespace ondel {

struct ScanResult;
struct ServerAddress;
struct ServerEntry;
class SettingsStore;

// The text a server's history is kept under: "HOST:PORT", a dotted host without leading zeros
// ("010.0.0.1" and "10.0.0.1" are one server), a name as typed.
std::string historyKey(const ServerAddress& address);

// One sample from what a scan read of a server: an answer, or a miss on a timeout.
HistorySample sampleFromScan(const ScanResult& result, std::int64_t timeMs);

// One answer from the monitor's record after a details reply; bots -1 where unknown.
HistorySample sampleFromEntry(const ServerEntry& entry, int bots, std::int64_t timeMs);

// A miss of the server at timeMs.
HistorySample missSample(const ServerAddress& address, std::int64_t timeMs);

// The retention the settings give (HistoryRawHours, HistoryDays), within sane limits: raw
// samples 1 hour to 1 year, five-minute rows 1 day to 10 years.
HistoryRetention historyRetention(const SettingsStore& settings);

} // namespace ondel
