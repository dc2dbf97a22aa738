#pragma once

#include <cstdint>
#include <string>

namespace ondel {

// The per-user settings: integers and texts addressed by a subkey ("Settings", "Master Server")
// and a value name. There is no cache: every call reads or writes the store at once, so a value
// written is visible to the next read from any thread. Implementations must be callable from the
// GUI thread and the master session's worker thread at the same time.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The stored value, or def when it is missing, not an integer, or the store is unavailable.
    virtual std::int32_t readInt(const std::string& subkey, const std::string& name,
                                 std::int32_t def) const = 0;
    // The stored text, or def when it is missing, longer than 1023 bytes, or the store is
    // unavailable.
    virtual std::string readString(const std::string& subkey, const std::string& name,
                                   const std::string& def = {}) const = 0;
    // False only when the store cannot be opened; a store that fails later is not reported.
    virtual bool writeInt(const std::string& subkey, const std::string& name,
                          std::int32_t value) = 0;
    virtual bool writeString(const std::string& subkey, const std::string& name,
                             const std::string& value) = 0;
};

} // namespace ondel
