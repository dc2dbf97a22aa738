#include "ServerList.h"

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
    int at = find(entry.address);
    if (at >= 0) {
        // Rotate the entry to the front instead of erase + insert: one move of the entries in
        // between, and the record itself is reused.
        auto it = m_entries.begin() + at;
        std::rotate(m_entries.begin(), it, it + 1);
        m_entries.front() = std::move(entry);
    } else {
        m_entries.insert(m_entries.begin(), std::move(entry));
    }
}

void ServerList::removeAt(std::size_t index) {
    if (index < m_entries.size())
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace ondel
