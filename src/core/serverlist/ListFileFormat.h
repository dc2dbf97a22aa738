#pragma once

#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "serverlist/ServerEntry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ondel::listfile {

// The binary list file format, versions 1 to 6 read, version 6 written. Pure byte codec: no file
// access here (see ListFiles.h). All integers little-endian, nothing aligned.
//
// Version gates of an entry record: host, port always; hostName, savePassword, hidePassword and
// (when savePassword is non-zero) password from 2; comment, pings, map, game texts and the info
// bytes from 3; reserved slots, rules block and the rule-derived values from 4; lastConnected,
// info/players times and the player list from 5. Version 6 adds the list name after the version.

inline constexpr std::int32_t kCurrentVersion = 6;
inline constexpr std::int32_t kOldestVersion = 1;

// Count: below 0xFFFF two bytes, otherwise FF FF and four bytes.
void writeCount(ByteWriter& out, std::uint32_t count);
std::uint32_t readCount(ByteReader& in);

// Text: length prefix (1 byte below 255; FF + uint16 up to 0xFFFD; FF FF FF + uint32 from 0xFFFE),
// then the bytes. Returns false (and writes nothing) for a text too long for the prefix.
bool writeText(ByteWriter& out, std::string_view text);
// Reads a text; the prefix FF FE FF announces UTF-16LE characters (a second length prefix
// follows, counting characters), which are returned converted to UTF-8. A failed read marks the
// reader failed and returns an empty text.
std::string readText(ByteReader& in);

// What a list file may hold: far beyond any real list (the largest seen hold some 70,000
// servers), low enough that a small hostile file cannot make the program take gigabytes. A file
// beyond them is refused whole, and a list beyond them is not written.
inline constexpr std::size_t kMaxListFileBytes = 256u << 20;
inline constexpr std::size_t kMaxEntries = 250'000;
inline constexpr std::size_t kMaxRulesPerEntry = 1'024;
inline constexpr std::size_t kMaxPlayersPerEntry = 1'024; // a players reply holds at most 255
// Rules and players of all entries together (each costs far more memory than its few bytes).
inline constexpr std::size_t kMaxItems = 4'000'000;
inline constexpr std::size_t kMaxTextBytes = 1u << 20; // one text (a comment is the longest)

// What was found in a list file.
struct Contents {
    std::int32_t formatVersion = 0;
    // Only files of version 6 and above carry a name.
    std::optional<std::string> name;
    std::vector<ServerEntry> entries;
    // True when every field the file declares was read; false when the data ended early or held
    // a count that cannot be met. failOffset is then the byte offset of the field that failed.
    bool complete = false;
    std::size_t failOffset = 0;
    // Set (with complete false) when the file holds more than the limits above allow.
    std::string overLimit;

    bool supportedVersion() const {
        return formatVersion >= kOldestVersion && formatVersion <= kCurrentVersion;
    }
    // Whether a list may be made from these contents and written back without losing data.
    bool usable() const { return complete && supportedVersion(); }
};

// Decodes a whole file. Never reads past the data and never reserves more elements than the
// bytes left could hold. Entries read before a failure are kept in the result; a file beyond the
// limits keeps none.
Contents decode(std::span<const std::uint8_t> bytes);

// Encodes a list as version 6. Returns false when a text or count does not fit the format or the
// limits above (what is written can always be read again).
bool encode(const std::string& name, const std::vector<ServerEntry>& entries,
            std::vector<std::uint8_t>& out);

// The two parts of what encode() writes, for a writer that keeps the bytes of entries that did
// not change: the file's start (version, name, entry count), and one entry record.
bool encodeHeader(const std::string& name, std::size_t count, std::vector<std::uint8_t>& out);
bool encodeEntry(const ServerEntry& entry, std::vector<std::uint8_t>& out);

} // namespace ondel::listfile
