#pragma once

#include "ServerList.h"

#include <memory>
#include <string>
#include <vector>

namespace ondel {

// Every loaded list; index 0 is always the custom list. Lists are owned and keep their address
// while the set changes (windows may hold a pointer to the current list between events).
class ServerListSet {
public:
    static constexpr const char* kCustomListName = "Custom server list";

    std::size_t size() const { return m_lists.size(); }
    bool empty() const { return m_lists.empty(); }
    ServerList& at(std::size_t index) { return *m_lists.at(index); }
    const ServerList& at(std::size_t index) const { return *m_lists.at(index); }

    ServerList& append(ServerList list);
    // Removes the list at index (not the custom list); the current list falls back to list 0
    // when it was the removed one, and follows its list when a list before it was removed.
    bool removeAt(std::size_t index);

    // Index of the list whose filePath equals path byte for byte, or -1.
    int findByFilePath(const std::string& path) const;

    std::size_t currentIndex() const { return m_current; }
    void setCurrentIndex(std::size_t index);
    // The current list; the set must not be empty.
    ServerList& current() { return at(m_current); }
    const ServerList& current() const { return at(m_current); }

    void clear() {
        m_lists.clear();
        m_current = 0;
    }

private:
    std::vector<std::unique_ptr<ServerList>> m_lists;
    std::size_t m_current = 0;
};

} // namespace ondel
