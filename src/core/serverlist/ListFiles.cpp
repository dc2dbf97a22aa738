#include "ListFiles.h"

#include "common/AtomicFile.h"
#include "common/Text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>
#include <vector>

namespace ondel {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSuffixLength = 5; // ".slNN"

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}

// Reads the whole file; std::nullopt when it cannot be opened or read. Reads straight into the
// buffer sized from the directory entry, then on to the real end should the file have grown.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::error_code ec;
    auto expected = fs::file_size(fs::path(path), ec);
    std::vector<std::uint8_t> data(ec ? 0 : static_cast<std::size_t>(expected));
    std::size_t filled = 0;
    constexpr std::size_t kChunk = 1 << 20;
    while (in) {
        if (filled == data.size())
            data.resize(filled + kChunk);
        in.read(reinterpret_cast<char*>(data.data() + filled),
                static_cast<std::streamsize>(data.size() - filled));
        filled += static_cast<std::size_t>(in.gcount());
    }
    if (in.bad() || !in.eof())
        return std::nullopt;
    data.resize(filled);
    return data;
}

// "title.sl06.tmp-XXXXXX": the temporary file of a save (AtomicFile.h) that never reached its
// rename because the program was killed in between.
bool isLeftoverSaveFile(std::string_view name) {
    constexpr std::string_view kInfix = ".sl06.tmp-";
    constexpr std::size_t kRandomLength = 6;
    if (name.size() <= kInfix.size() + kRandomLength)
        return false;
    std::size_t at = name.size() - kRandomLength - kInfix.size();
    if (name.substr(at, kInfix.size()) != kInfix)
        return false;
    for (char c : name.substr(name.size() - kRandomLength))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string customListPath(const std::string& dir, int version) {
    return dir + text::format("%s.sl%02d", kCustomListTitle, version);
}

} // namespace

int fileVersionOf(std::string_view path) {
    if (path.size() < kSuffixLength)
        return -1;
    std::string_view s = path.substr(path.size() - kSuffixLength);
    if (s[0] != '.' || (s[1] != 's' && s[1] != 'S') || (s[2] != 'l' && s[2] != 'L') ||
        !isDigit(s[3]) || !isDigit(s[4]))
        return -1;
    return (s[3] - '0') * 10 + (s[4] - '0');
}

bool withFileVersion(std::string& path, int version) {
    if (version < 0 || version > 99 || fileVersionOf(path) < 0)
        return false;
    path[path.size() - 2] = static_cast<char>('0' + version / 10);
    path[path.size() - 1] = static_cast<char>('0' + version % 10);
    return true;
}

ListFileRead readListFile(const std::string& path) {
    ListFileRead result;
    auto data = readWholeFile(path);
    if (!data) {
        if (!fileExists(path)) {
            result.status = ListFileStatus::Missing;
            return result;
        }
        result.status = ListFileStatus::Unreadable;
        result.problem = "cannot be read";
        return result;
    }
    result.contents = listfile::decode(*data);
    if (!result.contents.overLimit.empty()) {
        result.status = ListFileStatus::Unreadable;
        result.problem = "is refused: " + result.contents.overLimit;
    } else if (!result.contents.complete) {
        result.status = ListFileStatus::Unreadable;
        result.problem =
            text::format("ends early or is damaged at byte offset %zu", result.contents.failOffset);
    } else if (!result.contents.supportedVersion()) {
        result.status = ListFileStatus::Unreadable;
        result.problem =
            text::format("has the unknown format version %d", result.contents.formatVersion);
    } else {
        result.status = ListFileStatus::Read;
    }
    return result;
}

std::string moveAside(const std::string& path) {
    for (int n = 0; n < 1000; ++n) {
        std::string target = path + ".unreadable";
        if (n > 0)
            target += text::format(".%d", n);
        if (fileExists(target))
            continue;
        std::error_code ec;
        fs::rename(fs::path(path), fs::path(target), ec);
        return ec ? std::string() : target;
    }
    return {};
}

namespace {

// addList with the reason a list was not appended kept apart, for loadAll.
ListFileStatus addListFrom(ServerListSet& set, const std::string& filePath,
                           const std::string& sourcePath, const std::optional<std::string>& name,
                           bool createIfMissing, bool& added,
                           std::vector<ListLoadProblem>* problems = nullptr) {
    ListFileRead read = readListFile(sourcePath);
    ServerList list(filePath, sourcePath, name.value_or("Noname"));
    added = false;
    switch (read.status) {
    case ListFileStatus::Read:
        if (read.contents.name)
            list.setName(std::move(*read.contents.name));
        list.entries() = std::move(read.contents.entries);
        set.append(std::move(list));
        added = true;
        break;
    case ListFileStatus::Missing:
        if (createIfMissing) {
            set.append(std::move(list));
            added = true;
        }
        break;
    case ListFileStatus::Unreadable: {
        ListLoadProblem problem{sourcePath, read.problem, createIfMissing, {}};
        if (createIfMissing) {
            // The list must exist, but its empty contents must not replace the file at the next
            // save: keep the file under another name first. Where the rename fails, the
            // directory refuses changes, so the save cannot replace the file either.
            problem.movedTo = moveAside(sourcePath);
            set.append(std::move(list));
            added = true;
        }
        if (problems != nullptr)
            problems->push_back(std::move(problem));
        break;
    }
    }
    return read.status;
}

} // namespace

bool addList(ServerListSet& set, const std::string& filePath,
             const std::optional<std::string>& sourcePath, const std::optional<std::string>& name,
             bool createIfMissing) {
    bool added = false;
    addListFrom(set, filePath, sourcePath.value_or(filePath), name, createIfMissing, added);
    return added;
}

std::string describeLoadProblems(const std::vector<ListLoadProblem>& problems) {
    std::string text;
    for (const ListLoadProblem& p : problems) {
        if (!text.empty())
            text += "\n\n";
        const std::string file = text::toDisplayUtf8(p.path);
        text += text::format("The list file '%s' %s.", file.c_str(), p.problem.c_str());
        if (!p.custom)
            text += " Its list is left out; the file is kept as it is.";
        else if (!p.movedTo.empty())
            text += text::format(" It was renamed to '%s'; the custom list starts empty.",
                                 text::toDisplayUtf8(p.movedTo).c_str());
        else
            text += " It could not be renamed aside; the custom list starts empty and is not "
                    "written over it.";
    }
    return text;
}

std::vector<ListLoadProblem> loadAll(ServerListSet& set, const std::string& dataDirectory) {
    std::vector<ListLoadProblem> problems;
    set.clear();
    std::string dir = dataDirectory;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';

    std::string customSource = dir + kLegacyCustomListFile;
    for (int version = listfile::kCurrentVersion; version >= 0; --version) {
        std::string candidate = customListPath(dir, version);
        if (fileExists(candidate)) {
            customSource = candidate;
            break;
        }
    }
    bool customAdded = false;
    addListFrom(set, customListPath(dir, listfile::kCurrentVersion), customSource,
                std::string(ServerListSet::kCustomListName), true, customAdded, &problems);
    set.setCurrentIndex(0);

    std::vector<std::string> names;
    std::vector<fs::path> leftovers;
    std::error_code ec;
    for (fs::directory_iterator it(dir.empty() ? fs::path(".") : fs::path(dir), ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string fileName = it->path().filename().string();
        if (fileVersionOf(fileName) >= 0)
            names.push_back(std::move(fileName));
        else if (isLeftoverSaveFile(fileName))
            leftovers.push_back(it->path());
    }
    for (const fs::path& path : leftovers) {
        std::error_code removeError;
        fs::remove(path, removeError);
    }
    std::sort(names.begin(), names.end());

    // Targets of files that could not be read: an older version of the same list must not be
    // read instead and then written over the newer file that failed.
    std::set<std::string> claimed;
    for (int version = listfile::kCurrentVersion; version >= 0; --version) {
        for (const auto& fileName : names) {
            if (fileVersionOf(fileName) != version) // 's' and 'l' in either case
                continue;
            std::string target =
                dir + fileName.substr(0, fileName.size() - kSuffixLength) + ".sl06";
            if (set.findByFilePath(target) >= 0 || claimed.count(target))
                continue;
            bool added = false;
            ListFileStatus status =
                addListFrom(set, target, dir + fileName, std::nullopt, false, added, &problems);
            if (status == ListFileStatus::Unreadable)
                claimed.insert(target);
        }
    }
    return problems;
}

bool writeList(const ServerList& list, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (!listfile::encode(list.name(), list.entries(), bytes))
        return false;
    return writeFileAtomically(path, bytes);
}

int saveAll(const ServerListSet& set) {
    int failed = 0;
    for (std::size_t i = 0; i < set.size(); ++i)
        if (!writeList(set.at(i), set.at(i).filePath()))
            ++failed;
    return failed;
}

} // namespace ondel
