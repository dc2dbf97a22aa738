#include "ServerList.h"

#include "ServerListSet.h"

#include <algorithm>

namespace ondel {

ServerList::ServerList(std::string filePath, std::string sourcePath, std::string name)
    : m_filePath(std::move(filePath)), m_sourcePath(std::move(sourcePath)),
      m_name(std::move(name)) {}

int ServerList::find(const ServerAddress& address) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (isSameServer(m_entries[i].address, address))
            return static_cast<int>(i);
    return -1;
}

void ServerList::storeEntry(ServerEntry entry) {
    entryStamps(); // in step with the entries before they move
    int at = find(entry.address);
    if (at >= 0) {
        // Rotate the entry to the front instead of erase + insert: one move of the entries in
        // between, and the record itself is reused.
        auto it = m_entries.begin() + at;
        std::rotate(m_entries.begin(), it, it + 1);
        m_entries.front() = std::move(entry);
        auto stamp = m_stamps.begin() + at;
        std::rotate(m_stamps.begin(), stamp, stamp + 1);
        m_stamps.front() = nextStamp();
    } else {
        m_entries.insert(m_entries.begin(), std::move(entry));
        m_stamps.insert(m_stamps.begin(), nextStamp());
    }
    changed();
}

void ServerList::removeAt(std::size_t index) {
    if (index >= m_entries.size())
        return;
    entryStamps();
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    m_stamps.erase(m_stamps.begin() + static_cast<std::ptrdiff_t>(index));
    changed();
}

void ServerList::appendEntry(ServerEntry entry) {
    entryStamps();
    m_entries.push_back(std::move(entry));
    m_stamps.push_back(nextStamp());
    changed();
}

void ServerList::entryChanged(std::size_t index) {
    entryStamps();
    if (index < m_stamps.size())
        m_stamps[index] = nextStamp();
    changed();
}

void ServerList::markChanged() {
    m_stamps.clear();
    entryStamps();
    changed();
}

const std::vector<std::uint64_t>& ServerList::entryStamps() const {
    if (m_stamps.size() != m_entries.size()) {
        m_stamps.resize(m_entries.size());
        for (auto& stamp : m_stamps)
            stamp = nextStamp();
    }
    return m_stamps;
}

void ServerList::setFilePath(std::string path) {
    m_filePath = std::move(path);
    changed();
}

void ServerList::setSourcePath(std::string path) {
    m_sourcePath = std::move(path);
    changed();
}

void ServerList::setName(std::string name) {
    m_name = std::move(name);
    changed();
}

void ServerList::changed() {
    if (m_owner.set != nullptr)
        m_owner.set->tell(*this, ListChange::Changed);
}

} // namespace ondel
