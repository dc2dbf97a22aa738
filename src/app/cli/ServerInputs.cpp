#include "ServerInputs.h"

#include "common/Text.h"
#include "common/VisibleText.h"
#include "serverlist/ListFiles.h"
#include "serverlist/TargetAddress.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ondel::cli {

namespace {
std::string readAll(std::FILE* in, bool& ok) {
    std::string data;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        data.append(buffer, got);
    ok = !std::ferror(in);
    return data;
}
} // namespace

std::string shown(std::string_view bytes) {
    return text::visible(bytes);
}

void ServerInputs::clear() {
    m_targets = ScanTargets();
    m_read = 0;
    m_unreadable = 0;
}

void ServerInputs::addText(const std::string& source, std::string_view text) {
    ScanTargets parsed = parseScanTargets(text);
    for (const auto& bad : parsed.bad)
        std::fprintf(stderr, "ondel-cli %s: %s:%zu: %s: %s\n", m_command, source.c_str(),
                     bad.lineNumber, bad.why.c_str(), shown(bad.text).c_str());
    for (const auto& address : parsed.addresses)
        addScanTarget(m_targets, address);
    ++m_read;
}

void ServerInputs::addListFile(const std::string& path) {
    std::string name = shown(path);
    ListFileRead file = readListFile(path);
    if (file.status == ListFileStatus::Missing) {
        std::fprintf(stderr, "ondel-cli %s: %s: no such file\n", m_command, name.c_str());
        ++m_unreadable;
        return;
    }
    if (file.status == ListFileStatus::Unreadable) {
        if (!file.contents.complete && file.contents.overLimit.empty())
            std::fprintf(stderr,
                         "ondel-cli %s: %s: cannot be read completely, failed at byte offset "
                         "%zu; scanning the %zu servers before it\n",
                         m_command, name.c_str(), file.contents.failOffset,
                         file.contents.entries.size());
        else
            std::fprintf(stderr, "ondel-cli %s: %s: %s\n", m_command, name.c_str(),
                         file.problem.c_str());
        if (file.contents.entries.empty()) {
            ++m_unreadable;
            return;
        }
    }
    std::size_t number = 0;
    for (const auto& entry : file.contents.entries) {
        ++number;
        const ServerAddress& a = entry.address;
        if (a.host.empty() || a.port <= 0 || a.port > 65535) {
            std::fprintf(stderr, "ondel-cli %s: %s: entry %zu: not a server address: %s\n",
                         m_command, name.c_str(), number, shown(addressText(a)).c_str());
            continue;
        }
        if (std::string refused = targetRefusal(a); !refused.empty()) {
            std::fprintf(stderr, "ondel-cli %s: %s: entry %zu: %s\n", m_command, name.c_str(),
                         number, shown(refused).c_str());
            continue;
        }
        addScanTarget(m_targets, a);
    }
    ++m_read;
}

void ServerInputs::addFile(const std::string& path) {
    if (path == "-") {
        if (!m_stdin) {
            bool ok = true;
            std::string text = readAll(stdin, ok);
            if (!ok) {
                std::fprintf(stderr, "ondel-cli %s: standard input cannot be read\n", m_command);
                ++m_unreadable;
                return;
            }
            m_stdin = std::move(text);
        }
        addText("-", *m_stdin);
        return;
    }
    if (fileVersionOf(path) >= 0) {
        addListFile(path);
        return;
    }
    std::FILE* in = std::fopen(path.c_str(), "rb");
    bool ok = in != nullptr;
    std::string text = ok ? readAll(in, ok) : std::string();
    int error = errno;
    if (in)
        std::fclose(in);
    if (!ok) {
        std::fprintf(stderr, "ondel-cli %s: %s: cannot be read: %s\n", m_command,
                     shown(path).c_str(), std::strerror(error));
        ++m_unreadable;
        return;
    }
    addText(shown(path), text);
}

} // namespace ondel::cli
