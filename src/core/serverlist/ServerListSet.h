#pragma once

#include "ServerList.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ondel {

enum class ListChange {
    Added,   // appended to the set
    Changed, // entries, name or paths changed
    Removed, // about to leave the set (the list is still whole when told)
};

// Every loaded list; index 0 is always the custom list. Lists are owned and keep their address
// while the set changes (windows may hold a pointer to the current list between events).
class ServerListSet {
public:
    static constexpr const char* kCustomListName = "Custom server list";

    // Told of every change of the set and of the lists in it, on the thread that made it.
    using ChangeListener = std::function<void(const ServerList& list, ListChange change)>;

    ServerListSet() = default;
    ~ServerListSet();
    ServerListSet(const ServerListSet&) = delete;
    ServerListSet& operator=(const ServerListSet&) = delete;

    std::size_t size() const { return m_lists.size(); }
    bool empty() const { return m_lists.empty(); }
    ServerList& at(std::size_t index) { return *m_lists.at(index); }
    const ServerList& at(std::size_t index) const { return *m_lists.at(index); }

    ServerList& append(ServerList list);
    // Removes the list at index (not the custom list); the current list falls back to list 0
    // when it was the removed one, and follows its list when a list before it was removed.
    bool removeAt(std::size_t index);
    // As removeAt, handing the list to the caller (nullptr for index 0 or outside the set).
    std::unique_ptr<ServerList> takeAt(std::size_t index);

    // Index of the list whose filePath equals path byte for byte, or -1.
    int findByFilePath(const std::string& path) const;
    // Index of the list at this address, or -1.
    int indexOf(const ServerList& list) const;

    std::size_t currentIndex() const { return m_current; }
    void setCurrentIndex(std::size_t index);
    // The current list; the set must not be empty.
    ServerList& current() { return at(m_current); }
    const ServerList& current() const { return at(m_current); }

    void clear();

    // One listener at a time; an empty function removes it.
    void setChangeListener(ChangeListener listener) { m_listener = std::move(listener); }

private:
    friend class ServerList;
    void tell(const ServerList& list, ListChange change) {
        if (m_listener)
            m_listener(list, change);
    }

    std::vector<std::unique_ptr<ServerList>> m_lists;
    std::size_t m_current = 0;
    ChangeListener m_listener;
};

} // namespace ondel
