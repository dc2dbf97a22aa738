#pragma once

#include "common/Prompt.h"
#include "serverlist/ServerListSet.h"

#include <cstddef>
#include <string>

namespace ondel {

// The four commands of the "Server List" menu, as decisions and file effects. The window shows
// its own dialogs first (the open file dialog, "New server list", "Rename server list") and
// passes the user's answers in; the messages of the commands themselves go through the Prompt,
// titled kListCommandTitle. Thread: GUI thread.

inline constexpr const char* kListCommandTitle = "Ondel";
inline constexpr const char* kListInUseText = "Server list ia already in use!!!";
inline constexpr const char* kFileExistsFormat = "The file '%s' already exists!!!";
inline constexpr const char* kCannotDeleteCustomText =
    "You cannot delete the custom server list!!!";
inline constexpr const char* kDeleteQuestionFormat =
    "Do you really want to delete this server list \"%s (%s)\"?";

// Defaults of the "New server list" dialog and the filter of the open file dialog ("?\?"
// keeps the two question marks from reading as a trigraph).
inline constexpr const char* kNewListDefaultTitle = "new";
inline constexpr const char* kNewListDefaultName = "Ondel server list";
inline constexpr const char* kListFileFilter =
    "Ondel Server List (*.sl?\?)|*.sl?\?|All Files (*.*)|*.*||";

// Command ids of the menu.
inline constexpr int kOpenListCommand = 40015;
inline constexpr int kDeleteListCommand = 40016;
inline constexpr int kRenameListCommand = 40017;
inline constexpr int kNewListCommand = 40018;

enum class OpenListResult {
    Added,   // the list was appended to the set
    InUse,   // refused: the file, or the file it would be written to, belongs to a loaded list
    NotRead, // the file was missing or unreadable; nothing added, nothing shown
};

// Open with the full path chosen in the open file dialog. A file of an older version (.sl00 to
// .sl05) gets the .sl06 path beside it as its target, so the next save converts it; when that
// .sl06 file already exists the list keeps the chosen path. Both paths are checked against the
// loaded lists.
OpenListResult openList(ServerListSet& set, Prompt& prompt, const std::string& chosenPath);

// The file name a new list gets for the typed file title: title + ".sl06".
std::string newListFileName(const std::string& fileTitle);

// Whether New with this file title would be refused: its file exists in dataDirectory, or a
// loaded list already has that file.
bool newListFileTaken(const ServerListSet& set, const std::string& dataDirectory,
                      const std::string& fileTitle);
// The first title of base, "base 2", "base 3", ... that New would take; base itself when
// every one up to a thousand is taken.
std::string firstFreeListTitle(const ServerListSet& set, const std::string& dataDirectory,
                               const std::string& base);

enum class NewListResult {
    Added,  // an empty list was appended; its file is created at the next save
    Exists, // refused: the file exists, or a loaded list already has that file
};

// New with the texts typed in "New server list" (taken literally; empty is allowed). The file
// is dataDirectory + fileTitle + ".sl06" (dataDirectory ends with '/').
NewListResult newList(ServerListSet& set, Prompt& prompt, const std::string& dataDirectory,
                      const std::string& fileTitle, const std::string& name);

// Delete the list at index after asking. List 0 is refused. The list is written one last time,
// then its file and every older version of it (.sl05 down to .sl00 beside it) are renamed to
// "<file>.deleted", replacing an older ".deleted" file. Returns whether the list was removed;
// list 0 is then the current list.
bool deleteList(ServerListSet& set, Prompt& prompt, std::size_t index);

// The list's source file as the list selector and the Rename dialog show it: the bare file name
// for a file of the data folder (dataDirectory ends with '/'), the whole path otherwise.
std::string listFileShown(const ServerList& list, const std::string& dataDirectory);

// Rename with the text typed as "New name:" (list 0 included). No file is touched; the name
// reaches the file at the next save. False only for an index outside the set.
bool renameList(ServerListSet& set, std::size_t index, const std::string& newName);

} // namespace ondel
