#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// Small streaming JSON writer for the command-line tool. Keys and strings are byte texts that
// are shown as UTF-8 (text::toDisplayUtf8) and escaped, so any server text gives valid JSON.
class JsonWriter {
public:
    explicit JsonWriter(bool pretty = true) : m_pretty(pretty) {}

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);

    void value(std::string_view bytes);
    void value(const char* bytes) { value(std::string_view(bytes)); }
    void value(std::int64_t v);
    void value(int v) { value(static_cast<std::int64_t>(v)); }
    void value(std::uint32_t v) { value(static_cast<std::int64_t>(v)); }
    void value(double v);
    void value(bool v);
    void null();

    const std::string& text() const { return m_out; }

private:
    void beforeValue();
    void newline();
    void appendEscaped(std::string_view utf8);

    struct Level {
        bool array;
        bool empty;
    };
    std::string m_out;
    std::vector<Level> m_levels;
    bool m_afterKey = false;
    bool m_pretty;
};

} // namespace ondel
