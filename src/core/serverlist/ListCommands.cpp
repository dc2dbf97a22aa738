#include "ListCommands.h"

#include "common/Text.h"
#include "serverlist/ListFiles.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace ondel {

namespace fs = std::filesystem;

namespace {

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::path(path), ec);
}

// Whether two paths name the same file: equal bytes, or the same file reached another way
// (a relative path, a symbolic link), which would otherwise let two lists write one file.
bool samePath(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code ea;
    std::error_code eb;
    fs::path ca = fs::weakly_canonical(fs::path(a), ea);
    fs::path cb = fs::weakly_canonical(fs::path(b), eb);
    return !ea && !eb && ca == cb;
}

bool inUse(const ServerListSet& set, const std::string& path) {
    for (std::size_t i = 0; i < set.size(); ++i)
        if (samePath(set.at(i).filePath(), path))
            return true;
    return false;
}

void stop(Prompt& prompt, const std::string& text) {
    prompt.message(kListCommandTitle, text, Prompt::Buttons::Ok, Prompt::Icon::Stop);
}

// Renames path to path + ".deleted", replacing the older generation. Failures are ignored.
void moveToDeleted(const std::string& path) {
    if (!exists(path))
        return;
    std::error_code ec;
    fs::rename(fs::path(path), fs::path(path + ".deleted"), ec);
}

} // namespace

OpenListResult openList(ServerListSet& set, Prompt& prompt, const std::string& chosenPath) {
    if (inUse(set, chosenPath)) {
        stop(prompt, kListInUseText);
        return OpenListResult::InUse;
    }
    std::string target = chosenPath;
    int version = fileVersionOf(chosenPath);
    if (version >= 0 && version <= 5) {
        withFileVersion(target, 6);
        if (exists(target))
            target = chosenPath; // the existing .sl06 file is not written over
    }
    if (target != chosenPath && inUse(set, target)) {
        stop(prompt, kListInUseText);
        return OpenListResult::InUse;
    }
    if (!addList(set, target, chosenPath, std::nullopt, false))
        return OpenListResult::NotRead;
    return OpenListResult::Added;
}

std::string newListFileName(const std::string& fileTitle) {
    return fileTitle + text::format(".sl%02d", 6);
}

bool newListFileTaken(const ServerListSet& set, const std::string& dataDirectory,
                      const std::string& fileTitle) {
    const std::string path = dataDirectory + newListFileName(fileTitle);
    // A list made by New but not saved yet may have no file; a second New of the same name
    // would otherwise give two lists one file.
    return exists(path) || inUse(set, path);
}

std::string firstFreeListTitle(const ServerListSet& set, const std::string& dataDirectory,
                               const std::string& base) {
    constexpr int kMaxTried = 1000;
    for (int n = 1; n <= kMaxTried; ++n) {
        std::string title = n == 1 ? base : base + " " + std::to_string(n);
        if (!newListFileTaken(set, dataDirectory, title))
            return title;
    }
    return base;
}

NewListResult newList(ServerListSet& set, Prompt& prompt, const std::string& dataDirectory,
                      const std::string& fileTitle, const std::string& name) {
    std::string fileName = newListFileName(fileTitle);
    std::string path = dataDirectory + fileName;
    if (newListFileTaken(set, dataDirectory, fileTitle)) {
        stop(prompt, text::format(kFileExistsFormat, text::toDisplayUtf8(fileName).c_str()));
        return NewListResult::Exists;
    }
    addList(set, path, path, name, true);
    return NewListResult::Added;
}

bool deleteList(ServerListSet& set, Prompt& prompt, std::size_t index) {
    if (index == 0) {
        stop(prompt, kCannotDeleteCustomText);
        return false;
    }
    if (index >= set.size())
        return false;
    const ServerList& list = set.at(index);
    std::string question =
        text::format(kDeleteQuestionFormat, text::toDisplayUtf8(list.name()).c_str(),
                     text::toDisplayUtf8(list.filePath()).c_str());
    if (prompt.message(kListCommandTitle, question, Prompt::Buttons::YesNo,
                       Prompt::Icon::Question) != Prompt::Answer::Yes)
        return false;

    // Out of the set first: whoever writes the set's lists as they change lets go of this one
    // before its files are moved aside (a late write would bring the list back).
    std::unique_ptr<ServerList> taken = set.takeAt(index);
    set.setCurrentIndex(0);
    const std::string path = taken->filePath();
    writeList(*taken, path); // keeps the latest edits in the .deleted file; failure is passed over
    moveToDeleted(path);
    for (int version = fileVersionOf(path) - 1; version >= 0; --version) {
        std::string older = path;
        withFileVersion(older, version);
        moveToDeleted(older);
    }
    return true;
}

std::string listFileShown(const ServerList& list, const std::string& dataDirectory) {
    std::string source = list.sourcePath();
    if (!dataDirectory.empty() && source.size() > dataDirectory.size() &&
        source.starts_with(dataDirectory))
        source.erase(0, dataDirectory.size());
    return source;
}

bool renameList(ServerListSet& set, std::size_t index, const std::string& newName) {
    if (index >= set.size())
        return false;
    set.at(index).setName(newName);
    return true;
}

} // namespace ondel
