#pragma once

// Helpers shared by the list tests: a temporary directory, whole-file bytes and hand-built list
// file pieces (the prompt is FakePrompt).

#include "../fakes/FakePrompt.h"
#include "common/ByteWriter.h"
#include "common/Prompt.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ondel::test {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ondel-lists-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()))
            m_path = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing '/', as dataDirectory is given.
    std::string dir() const { return m_path + "/"; }
    std::string file(const std::string& name) const { return dir() + name; }

private:
    std::string m_path;
};

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Names of the files in a directory (for "nothing else was left behind" checks).
inline std::vector<std::string> fileNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A text with the one-byte length prefix (shorter than 255 bytes).
inline void shortText(ByteWriter& w, const std::string& s) {
    w.u8(static_cast<std::uint8_t>(s.size()));
    w.bytes(s);
}

} // namespace ondel::test
