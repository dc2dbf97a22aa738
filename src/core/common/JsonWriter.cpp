#include "JsonWriter.h"

#include "Text.h"

#include <cmath>

namespace ondel {

void JsonWriter::newline() {
    if (!m_pretty)
        return;
    m_out.push_back('\n');
    m_out.append(m_levels.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_levels.empty()) {
        if (!m_levels.back().empty)
            m_out.push_back(',');
        m_levels.back().empty = false;
        newline();
    }
}

void JsonWriter::beginObject() {
    beforeValue();
    m_out.push_back('{');
    m_levels.push_back({false, true});
}

void JsonWriter::endObject() {
    bool wasEmpty = m_levels.back().empty;
    m_levels.pop_back();
    if (!wasEmpty)
        newline();
    m_out.push_back('}');
}

void JsonWriter::beginArray() {
    beforeValue();
    m_out.push_back('[');
    m_levels.push_back({true, true});
}

void JsonWriter::endArray() {
    bool wasEmpty = m_levels.back().empty;
    m_levels.pop_back();
    if (!wasEmpty)
        newline();
    m_out.push_back(']');
}

void JsonWriter::key(std::string_view name) {
    beforeValue();
    appendEscaped(text::toDisplayUtf8(name));
    m_out += m_pretty ? ": " : ":";
    m_afterKey = true;
}

void JsonWriter::value(std::string_view bytes) {
    beforeValue();
    appendEscaped(text::toDisplayUtf8(bytes));
}

void JsonWriter::value(std::int64_t v) {
    beforeValue();
    m_out += std::to_string(v);
}

void JsonWriter::value(double v) {
    beforeValue();
    if (!std::isfinite(v)) {
        m_out += "null"; // JSON has no NaN or infinity
        return;
    }
    m_out += text::format("%.9g", v);
}

void JsonWriter::value(bool v) {
    beforeValue();
    m_out += v ? "true" : "false";
}

void JsonWriter::null() {
    beforeValue();
    m_out += "null";
}

void JsonWriter::appendEscaped(std::string_view s) {
    m_out.push_back('"');
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char ch = s[i];
        auto c = static_cast<unsigned char>(ch);
        // C1 controls (U+0080..U+009F, C2 80..C2 9F) are escaped too: terminals act on them.
        if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
            m_out += text::format("\\u%04x", static_cast<unsigned char>(s[++i]));
            continue;
        }
        switch (c) {
        case '"':
            m_out += "\\\"";
            break;
        case '\\':
            m_out += "\\\\";
            break;
        case '\n':
            m_out += "\\n";
            break;
        case '\r':
            m_out += "\\r";
            break;
        case '\t':
            m_out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F)
                m_out += text::format("\\u%04x", c);
            else
                m_out.push_back(ch);
        }
    }
    m_out.push_back('"');
}

} // namespace ondel
