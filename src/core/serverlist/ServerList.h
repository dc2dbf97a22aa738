#pragma once

#include "ServerEntry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ondel {

class ServerListSet;

// A named list of servers, most recently stored first. Owns its entries.
//
// Changes are told to the set the list belongs to (ServerListSet::setChangeListener), so that
// the list can be written soon after. Every entry carries a stamp that is new whenever the entry
// may have changed; a saver keeps the bytes of entries whose stamp it has seen. The operations
// below keep the stamps; a caller that changes entries through entries() tells the list with
// entryChanged() (one entry) or markChanged() (anything).
class ServerList {
public:
    ServerList() = default;
    ServerList(std::string filePath, std::string sourcePath, std::string name);

    // Index of the first entry that is the same server, or -1.
    int find(const ServerAddress& address) const;
    // Updates the first entry of the same server (or adds a new one) with every field of entry,
    // and moves it to index 0. Taken by value: entry may be an element of this very list.
    void storeEntry(ServerEntry entry);
    void removeAt(std::size_t index);
    // Adds an entry at the end.
    void appendEntry(ServerEntry entry);

    std::vector<ServerEntry>& entries() { return m_entries; }
    const std::vector<ServerEntry>& entries() const { return m_entries; }
    std::size_t size() const { return m_entries.size(); }

    // The entry at index was changed through entries().
    void entryChanged(std::size_t index);
    // The entries were changed through entries() in any way.
    void markChanged();
    // One stamp per entry, in entry order; a stamp is never given to two states of an entry.
    // Entries added or removed through entries() without a word get new stamps, all of them.
    const std::vector<std::uint64_t>& entryStamps() const;

    const std::string& filePath() const { return m_filePath; }
    void setFilePath(std::string path);
    const std::string& sourcePath() const { return m_sourcePath; }
    void setSourcePath(std::string path);
    const std::string& name() const { return m_name; }
    void setName(std::string name);

private:
    friend class ServerListSet;
    // The set the list is in; a copy or a moved-from list belongs to no set.
    struct Owner {
        ServerListSet* set = nullptr;
        Owner() = default;
        Owner(const Owner&) noexcept {}
        Owner& operator=(const Owner&) noexcept { return *this; }
    };

    void changed();
    std::uint64_t nextStamp() const { return ++m_lastStamp; }

    std::vector<ServerEntry> m_entries;
    mutable std::vector<std::uint64_t> m_stamps;
    mutable std::uint64_t m_lastStamp = 0;
    std::string m_filePath;
    std::string m_sourcePath;
    std::string m_name = "Noname";
    Owner m_owner;
};

} // namespace ondel
