#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#else
#include <fstream>
#endif

namespace ondel {

namespace fs = std::filesystem;

#ifndef _WIN32

// The standard library has no way to flush a file to the disk or to create it with restricted
// permissions; these few POSIX calls are the one place the core needs them.
namespace {

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo the (already complete) write.
void syncDirectory(const fs::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The file a path ends at when it is a symbolic link (followed link by link, a relative target
// taken from the link's folder), so that the link stays and its target is replaced. The path
// itself when it is no link; empty for a loop of links.
std::string finalTarget(const std::string& path) {
    constexpr int kMaxLinks = 40; // as the kernel allows
    fs::path current(path);
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec)
            return current.string();
        fs::path target = fs::read_symlink(current, ec);
        if (ec)
            return {};
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return {};
}

} // namespace

bool writeFileAtomically(const std::string& linkOrPath, std::span<const std::uint8_t> bytes) {
    if (linkOrPath.empty())
        return false;
    const std::string path = finalTarget(linkOrPath);
    if (path.empty())
        return false;
    std::string tmpl = path + ".tmp-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    // mkstemp creates the file with mode 0600 and fails rather than reuse an existing name.
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    syncDirectory(fs::path(path).parent_path());
    return true;
}

#else

bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (path.empty())
        return false;
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            fs::remove(tmp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    return true;
}

#endif

} // namespace ondel
