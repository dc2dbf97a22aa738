#pragma once

#include "serverlist/ServerList.h"
#include "settings/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ondel {

// The order in which the server selector offers the entries of a list: a recent section of at
// most five entries connected to most recently (newest first), then every entry of the list
// (recent ones again) in the chosen sort order. The list itself is never reordered.

// Values of the "ServerListSortType" setting, in the order of the sort menu (commands
// 40008..40012 store 0..4). Any other stored value means stored order.
enum class ServerListSortType : std::int32_t {
    Unsorted = 0,
    Name = 1,
    Address = 2,
    GameName = 3,
    GameAddress = 4,
};

inline constexpr int kFirstSortCommand = 40008;
inline constexpr int kLastSortCommand = 40012;
inline constexpr std::size_t kRecentSectionSize = 5;

struct SelectorOrder {
    // Indices into the list's entries, one per selector item, recent section first.
    std::vector<std::size_t> items;
    // Index in items of the last recent item; -1 when the recent section is empty.
    int recentEnd = -1;
};

// The order for a sort type (the stored setting value). Recent section: entries with a non-zero
// lastConnected, by lastConnected descending, equal times in stored order. Main section: sort
// keys compared case-insensitively (text::foldCompare), the address as its "host:port" text;
// the second key of the two-key orders decides only between equal first keys; equal entries
// keep their stored order.
SelectorOrder selectorOrder(const ServerList& list, std::int32_t sortType);

// The same with the sort type read from the settings ("Settings", "ServerListSortType").
SelectorOrder selectorOrder(const ServerList& list, const SettingsStore& settings);

// The text of a selector item: the address text, a blank and the server name.
std::string selectorItemText(const ServerEntry& entry);

// The sort type a sort menu command stores, or -1 for another command.
std::int32_t sortTypeForCommand(int commandId);

} // namespace ondel
