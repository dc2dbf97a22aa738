#include "DataFolderLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace ondel {

DataFolderLock::DataFolderLock(const std::string& folder) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += kLockFileName;
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return;
    int rc;
    do
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_state = State::Held;
        return;
    }
    m_state = errno == EWOULDBLOCK ? State::HeldByOther : State::Unavailable;
    ::close(m_fd);
    m_fd = -1;
}

DataFolderLock::~DataFolderLock() {
    if (m_fd >= 0)
        ::close(m_fd); // closing lets go of the lock
}

} // namespace ondel
