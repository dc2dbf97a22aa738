#pragma once

#include <string>

namespace ondel {

// One writer per data folder: an advisory lock (flock) on the file kLockFileName in the folder,
// held for the life of the object. The system lets go of it when the process ends in any way,
// so a run that was killed leaves no lock behind (the file stays; it holds nothing). Used by the
// window for its whole run and by ondel-cli while it changes a list of the folder.
// Thread: any; not copyable.
class DataFolderLock {
public:
    static constexpr const char* kLockFileName = "ondel.lock";

    enum class State {
        Held,        // this object holds the lock
        HeldByOther, // another process holds it
        Unavailable, // the lock file cannot be made or opened (read-only folder, ...)
    };

    // Tries once, without waiting. folder may end with '/'.
    explicit DataFolderLock(const std::string& folder);
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    State state() const { return m_state; }

private:
    int m_fd = -1;
    State m_state = State::Unavailable;
};

} // namespace ondel
