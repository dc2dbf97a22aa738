#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ondel {

// Replaces the file at path with bytes so that the file is, at every moment, either the old
// file whole or the new one whole: the bytes go to a temporary file in the same directory
// (created readable and writable by the user only), are flushed to the disk, and the temporary
// file is then renamed over path. Returns false, leaving any old file untouched and no temporary
// file behind, when any step fails (directory missing or not writable, disk full, ...).
// The new file has mode 0600 whatever the old one had: list files may hold passwords.
// A path that is a symbolic link stays one: the file it leads to is replaced, in its own folder.
// Thread: any; two callers must not write the same path at once.
bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace ondel
