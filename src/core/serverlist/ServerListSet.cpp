#include "ServerListSet.h"

namespace ondel {

ServerListSet::~ServerListSet() {
    for (auto& list : m_lists)
        list->m_owner.set = nullptr;
}

ServerList& ServerListSet::append(ServerList list) {
    m_lists.push_back(std::make_unique<ServerList>(std::move(list)));
    ServerList& added = *m_lists.back();
    added.m_owner.set = this;
    tell(added, ListChange::Added);
    return added;
}

std::unique_ptr<ServerList> ServerListSet::takeAt(std::size_t index) {
    if (index == 0 || index >= m_lists.size())
        return nullptr;
    tell(*m_lists[index], ListChange::Removed);
    std::unique_ptr<ServerList> taken = std::move(m_lists[index]);
    taken->m_owner.set = nullptr;
    m_lists.erase(m_lists.begin() + static_cast<std::ptrdiff_t>(index));
    if (m_current == index)
        m_current = 0;
    else if (m_current > index)
        --m_current;
    return taken;
}

bool ServerListSet::removeAt(std::size_t index) {
    return takeAt(index) != nullptr;
}

int ServerListSet::findByFilePath(const std::string& path) const {
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        if (m_lists[i]->filePath() == path)
            return static_cast<int>(i);
    return -1;
}

int ServerListSet::indexOf(const ServerList& list) const {
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        if (m_lists[i].get() == &list)
            return static_cast<int>(i);
    return -1;
}

void ServerListSet::setCurrentIndex(std::size_t index) {
    if (index < m_lists.size())
        m_current = index;
}

void ServerListSet::clear() {
    for (auto& list : m_lists) {
        tell(*list, ListChange::Removed);
        list->m_owner.set = nullptr;
    }
    m_lists.clear();
    m_current = 0;
}

} // namespace ondel
