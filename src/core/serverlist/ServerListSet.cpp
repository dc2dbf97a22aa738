#include "ServerListSet.h"

namespace ondel {

ServerList& ServerListSet::append(ServerList list) {
    m_lists.push_back(std::make_unique<ServerList>(std::move(list)));
    return *m_lists.back();
}

bool ServerListSet::removeAt(std::size_t index) {
    if (index == 0 || index >= m_lists.size())
        return false;
    m_lists.erase(m_lists.begin() + static_cast<std::ptrdiff_t>(index));
    if (m_current == index)
        m_current = 0;
    else if (m_current > index)
        --m_current;
    return true;
}

int ServerListSet::findByFilePath(const std::string& path) const {
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        if (m_lists[i]->filePath() == path)
            return static_cast<int>(i);
    return -1;
}

void ServerListSet::setCurrentIndex(std::size_t index) {
    if (index < m_lists.size())
        m_current = index;
}

} // namespace ondel
