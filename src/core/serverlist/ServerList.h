#pragma once

#include "ServerEntry.h"

#include <string>
#include <vector>

namespace ondel {

// A named list of servers, most recently stored first. Owns its entries.
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

    std::vector<ServerEntry>& entries() { return m_entries; }
    const std::vector<ServerEntry>& entries() const { return m_entries; }
    std::size_t size() const { return m_entries.size(); }

    const std::string& filePath() const { return m_filePath; }
    void setFilePath(std::string path) { m_filePath = std::move(path); }
    const std::string& sourcePath() const { return m_sourcePath; }
    void setSourcePath(std::string path) { m_sourcePath = std::move(path); }
    const std::string& name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }

private:
    std::vector<ServerEntry> m_entries;
    std::string m_filePath;
    std::string m_sourcePath;
    std::string m_name = "Noname";
};

} // namespace ondel
