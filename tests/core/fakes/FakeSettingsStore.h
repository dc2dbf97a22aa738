#pragma once

#include "settings/SettingsStore.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <variant>

namespace ondel::test {

// In-memory SettingsStore for core tests. Behaves like the real store: an integer read of a text
// value, or a text read of a value over 1023 bytes, yields the default; with setAvailable(false)
// every read yields its default and every write returns false. Safe to use from several threads.
class FakeSettingsStore : public SettingsStore {
public:
    using Value = std::variant<std::int32_t, std::string>;

    std::int32_t readInt(const std::string& subkey, const std::string& name,
                         std::int32_t def) const override {
        std::lock_guard lock(m_mutex);
        ++m_reads;
        if (!m_available)
            return def;
        auto it = m_values.find({subkey, name});
        if (it == m_values.end() || !std::holds_alternative<std::int32_t>(it->second))
            return def;
        return std::get<std::int32_t>(it->second);
    }

    std::string readString(const std::string& subkey, const std::string& name,
                           const std::string& def = {}) const override {
        std::lock_guard lock(m_mutex);
        ++m_reads;
        if (!m_available)
            return def;
        auto it = m_values.find({subkey, name});
        if (it == m_values.end() || !std::holds_alternative<std::string>(it->second))
            return def;
        const auto& s = std::get<std::string>(it->second);
        return s.size() > 1023 ? def : s;
    }

    bool writeInt(const std::string& subkey, const std::string& name, std::int32_t value) override {
        std::lock_guard lock(m_mutex);
        if (!m_available)
            return false;
        m_values[{subkey, name}] = value;
        ++m_writes;
        return true;
    }

    bool writeString(const std::string& subkey, const std::string& name,
                     const std::string& value) override {
        std::lock_guard lock(m_mutex);
        if (!m_available)
            return false;
        m_values[{subkey, name}] = value;
        ++m_writes;
        return true;
    }

    // Test controls and inspection.
    void setAvailable(bool available) {
        std::lock_guard lock(m_mutex);
        m_available = available;
    }
    bool has(const std::string& subkey, const std::string& name) const {
        std::lock_guard lock(m_mutex);
        return m_values.count({subkey, name}) != 0;
    }
    // The stored value as it is, no defaults applied; has() must be true.
    Value raw(const std::string& subkey, const std::string& name) const {
        std::lock_guard lock(m_mutex);
        return m_values.at({subkey, name});
    }
    void erase(const std::string& subkey, const std::string& name) {
        std::lock_guard lock(m_mutex);
        m_values.erase({subkey, name});
    }
    int reads() const {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }
    int writes() const {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::string>, Value> m_values;
    bool m_available = true;
    mutable int m_reads = 0;
    int m_writes = 0;
};

} // namespace ondel::test
