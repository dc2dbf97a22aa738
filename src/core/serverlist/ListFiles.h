#pragma once

#include "serverlist/ListFileFormat.h"
#include "serverlist/ServerListSet.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// Finding, reading and writing the list files. A list file is named title + ".slNN", NN being
// the format version it was written in; every list is written as version 6 (title.sl06). The
// custom list (list 0) is always written to dataDirectory + "serverlist.sl06".
//
// Data safety: a file that cannot be read completely, or holds a format version outside 1..6,
// is never overwritten or deleted. Such a list is left out and its file kept; only the custom
// list, which must exist, starts empty instead, after its unreadable source has been renamed to
// "<source>.unreadable". Files are replaced through a temporary file and a rename (AtomicFile.h).
// Thread: GUI thread (or any one thread at a time); these functions touch the file system.

inline constexpr const char* kCustomListTitle = "serverlist";
// The file the custom list was kept in before the numbered names; read, never written.
inline constexpr const char* kLegacyCustomListFile = "serverlist.dat";

// The two-digit version of a path ending in ".slNN" (dot, 's'/'S', 'l'/'L', two digits);
// -1 otherwise.
int fileVersionOf(std::string_view path);
// Replaces the two digits of a ".slNN" path with version (0..99, two digits). False, path
// unchanged, when the path has no such suffix or the version is out of range.
bool withFileVersion(std::string& path, int version);

// How a list file was found.
enum class ListFileStatus {
    Read,       // read completely, version 1..6
    Missing,    // no such file
    Unreadable, // exists but cannot be opened, ends early, or holds an unknown version
};

struct ListFileRead {
    ListFileStatus status = ListFileStatus::Missing;
    listfile::Contents contents; // what could be read (empty when Missing)
    // For Unreadable: why, in plain words (for a command-line report).
    std::string problem;
};

// Reads and decodes a whole list file.
ListFileRead readListFile(const std::string& path);

// Makes one list and appends it to the set. sourcePath absent means filePath; name absent means
// "Noname" (a version-6 file's own name replaces it). When the source is missing the list is
// appended empty if createIfMissing, otherwise not at all; when the source is unreadable the
// list is left out and the file kept, or, with createIfMissing, the file is renamed aside
// (see above) and the list appended empty. Returns whether a list was appended.
bool addList(ServerListSet& set, const std::string& filePath,
             const std::optional<std::string>& sourcePath, const std::optional<std::string>& name,
             bool createIfMissing);

// A list file that loadAll() could not read, and what was done with it.
struct ListLoadProblem {
    std::string path;    // the file that could not be read
    std::string problem; // why, in plain words
    // The custom list's unreadable file is renamed aside (its list starts empty): the new name,
    // or empty when it could not be renamed. Any other such list is left out, its file kept.
    bool custom = false;
    std::string movedTo;
};

// The message that tells the user about the files loadAll() could not read; empty for none.
std::string describeLoadProblems(const std::vector<ListLoadProblem>& problems);

// Builds the set at start-up: the custom list from the newest serverlist.slNN (06 down to 00),
// else serverlist.dat, then every *.slNN file of dataDirectory, newest version first (suffix
// matched case-insensitively, names in byte order within a version), each targeted at
// title.sl06 and skipped when a list with that filePath is already in the set or an unreadable
// file already claimed it. The set is cleared first; list 0 becomes current. Temporary files
// that a killed save left behind (title.sl06.tmp-XXXXXX) are removed.
// dataDirectory is a directory path ending with '/' (empty means the current directory).
// Returns the files that could not be read.
std::vector<ListLoadProblem> loadAll(ServerListSet& set, const std::string& dataDirectory);

// Writes every list to its filePath; a list that cannot be written is skipped, the previous
// file staying whole. Returns the number of lists that could not be written.
int saveAll(const ServerListSet& set);

// Writes one list in version 6 to path (temporary file + rename, mode 0600). False, with any
// previous file left whole, when it cannot be written.
bool writeList(const ServerList& list, const std::string& path);

// Renames an unreadable file to path + ".unreadable" (or ".unreadable.N" when that name is
// taken), never replacing a file. Returns the new name, or empty when it could not be renamed.
std::string moveAside(const std::string& path);

} // namespace ondel
