#include "ServerListOrder.h"

#include "common/Text.h"
#include "settings/SettingsKeys.h"

#include <algorithm>

namespace ondel {

namespace {

std::vector<std::size_t> recentSection(const std::vector<ServerEntry>& entries) {
    std::vector<std::size_t> slots;
    slots.reserve(kRecentSectionSize + 1);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::int64_t time = entries[i].lastConnected;
        if (time == 0)
            continue;
        // Before the first slot with a strictly older time, so equal times keep list order.
        auto at = std::find_if(slots.begin(), slots.end(),
                               [&](std::size_t s) { return entries[s].lastConnected < time; });
        if (at - slots.begin() >= static_cast<std::ptrdiff_t>(kRecentSectionSize))
            continue;
        slots.insert(at, i);
        if (slots.size() > kRecentSectionSize)
            slots.pop_back();
    }
    return slots;
}

void sortMain(const std::vector<ServerEntry>& entries, std::vector<std::size_t>& order,
              ServerListSortType type) {
    bool byGame = type == ServerListSortType::GameName || type == ServerListSortType::GameAddress;
    bool byAddress = type == ServerListSortType::Address || type == ServerListSortType::GameAddress;
    // Address texts are built once, not on every comparison.
    std::vector<std::string> addressTexts;
    if (byAddress) {
        addressTexts.reserve(entries.size());
        for (const auto& e : entries)
            addressTexts.push_back(addressText(e.address));
    }
    auto less = [&](std::size_t a, std::size_t b) {
        if (byGame) {
            int c = text::foldCompare(entries[a].gameDir, entries[b].gameDir);
            if (c != 0)
                return c < 0;
        }
        if (byAddress)
            return text::foldCompare(addressTexts[a], addressTexts[b]) < 0;
        return text::foldCompare(entries[a].hostName, entries[b].hostName) < 0;
    };
    std::stable_sort(order.begin(), order.end(), less);
}

} // namespace

SelectorOrder selectorOrder(const ServerList& list, std::int32_t sortType) {
    const auto& entries = list.entries();
    SelectorOrder result;
    std::vector<std::size_t> recent = recentSection(entries);
    result.recentEnd = static_cast<int>(recent.size()) - 1;

    std::vector<std::size_t> main(entries.size());
    for (std::size_t i = 0; i < main.size(); ++i)
        main[i] = i;
    if (main.size() >= 2 && sortType >= 1 && sortType <= 4)
        sortMain(entries, main, static_cast<ServerListSortType>(sortType));

    result.items = std::move(recent);
    result.items.insert(result.items.end(), main.begin(), main.end());
    return result;
}

SelectorOrder selectorOrder(const ServerList& list, const SettingsStore& settings) {
    return selectorOrder(list, settings::read(settings, settings::kServerListSortType));
}

std::string selectorItemText(const ServerEntry& entry) {
    return addressText(entry.address) + " " + entry.hostName;
}

std::int32_t sortTypeForCommand(int commandId) {
    if (commandId < kFirstSortCommand || commandId > kLastSortCommand)
        return -1;
    return commandId - kFirstSortCommand;
}

} // namespace ondel
