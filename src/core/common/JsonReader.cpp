#include "JsonReader.h"
#include "common/Utf8.h"

#include "common/Text.h"

#include <charconv>
#include <cmath>

namespace ondel {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr unsigned kReplacement = 0xFFFD;

} // namespace

JsonReader::JsonReader(std::string_view text, int maxDepth) : m_text(text), m_maxDepth(maxDepth) {}

void JsonReader::fail(const std::string& reason) {
    if (!ok())
        return;
    m_error = reason.empty() ? "invalid JSON" : reason;
    m_errorOffset = m_pos;
}

void JsonReader::skipSpace() {
    while (m_pos < m_text.size()) {
        char c = m_text[m_pos];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return;
        ++m_pos;
    }
}

bool JsonReader::expect(char c) {
    if (!ok())
        return false;
    skipSpace();
    if (m_pos >= m_text.size()) {
        fail(std::string("the text ends where '") + c + "' was expected");
        return false;
    }
    if (m_text[m_pos] != c) {
        fail(std::string("'") + c + "' expected");
        return false;
    }
    ++m_pos;
    return true;
}

JsonReader::Kind JsonReader::peek() {
    if (!ok())
        return Kind::Invalid;
    skipSpace();
    if (m_pos >= m_text.size())
        return Kind::Invalid;
    char c = m_text[m_pos];
    switch (c) {
    case '{':
        return Kind::Object;
    case '[':
        return Kind::Array;
    case '"':
        return Kind::String;
    case 't':
    case 'f':
        return Kind::Bool;
    case 'n':
        return Kind::Null;
    default:
        return (c == '-' || isDigit(c)) ? Kind::Number : Kind::Invalid;
    }
}

bool JsonReader::enter(bool object) {
    if (!expect(object ? '{' : '['))
        return false;
    if (static_cast<int>(m_levels.size()) >= m_maxDepth) {
        fail("nested too deeply");
        return false;
    }
    m_levels.push_back({object, true});
    return true;
}

bool JsonReader::beginObject() {
    return enter(true);
}
bool JsonReader::beginArray() {
    return enter(false);
}

bool JsonReader::nextMember(std::string& key) {
    if (!ok())
        return false;
    if (m_levels.empty() || !m_levels.back().object) {
        fail("not inside an object");
        return false;
    }
    skipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == '}') {
        ++m_pos;
        m_levels.pop_back();
        return false;
    }
    if (!m_levels.back().first && !expect(','))
        return false;
    m_levels.back().first = false;
    if (peek() != Kind::String) {
        fail(m_pos >= m_text.size() ? "the text ends inside an object" : "a member name expected");
        return false;
    }
    return readString(key) && expect(':');
}

bool JsonReader::nextElement() {
    if (!ok())
        return false;
    if (m_levels.empty() || m_levels.back().object) {
        fail("not inside an array");
        return false;
    }
    skipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == ']') {
        ++m_pos;
        m_levels.pop_back();
        return false;
    }
    if (!m_levels.back().first && !expect(','))
        return false;
    m_levels.back().first = false;
    if (peek() == Kind::Invalid) {
        fail(m_pos >= m_text.size() ? "the text ends inside an array" : "a value expected");
        return false;
    }
    return true;
}

bool JsonReader::readHex4(unsigned& value) {
    if (m_text.size() - m_pos < 4) {
        fail("the text ends inside a \\u escape");
        return false;
    }
    value = 0;
    for (int i = 0; i < 4; ++i) {
        char c = m_text[m_pos++];
        unsigned digit;
        if (isDigit(c))
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else {
            fail("bad \\u escape");
            return false;
        }
        value = value * 16 + digit;
    }
    return true;
}

bool JsonReader::readString(std::string& out) {
    out.clear();
    if (!expect('"'))
        return false;
    while (true) {
        // Copy the run of plain bytes at once: most strings hold no escape.
        std::size_t run = m_pos;
        while (run < m_text.size() && m_text[run] != '"' && m_text[run] != '\\' &&
               static_cast<unsigned char>(m_text[run]) >= 0x20)
            ++run;
        out.append(m_text.data() + m_pos, run - m_pos);
        m_pos = run;
        if (m_pos >= m_text.size()) {
            fail("the text ends inside a string");
            return false;
        }
        char c = m_text[m_pos++];
        if (c == '"')
            return true;
        if (c != '\\') {
            --m_pos;
            fail("control character inside a string");
            return false;
        }
        if (m_pos >= m_text.size()) {
            fail("the text ends inside a string");
            return false;
        }
        char e = m_text[m_pos++];
        switch (e) {
        case '"':
        case '\\':
        case '/':
            out.push_back(e);
            break;
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'u': {
            unsigned cp;
            if (!readHex4(cp))
                return false;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                // A high surrogate makes a pair only with a \u low surrogate right after it.
                unsigned low = 0;
                if (m_text.size() - m_pos >= 6 && m_text[m_pos] == '\\' &&
                    m_text[m_pos + 1] == 'u') {
                    std::size_t back = m_pos;
                    m_pos += 2;
                    if (!readHex4(low))
                        return false;
                    if (low >= 0xDC00 && low <= 0xDFFF)
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    else {
                        m_pos = back; // not a pair: the second escape stands on its own
                        cp = kReplacement;
                    }
                } else {
                    cp = kReplacement;
                }
            } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                cp = kReplacement;
            }
            text::appendUtf8(out, cp);
            break;
        }
        default:
            fail("bad escape in a string");
            return false;
        }
    }
}

bool JsonReader::readNumber(double& out) {
    out = 0;
    if (peek() != Kind::Number) {
        fail("a number expected");
        return false;
    }
    // The JSON grammar, checked by hand: from_chars alone would take "01", "1." or "inf".
    std::size_t p = m_pos;
    const std::size_t n = m_text.size();
    if (m_text[p] == '-')
        ++p;
    if (p >= n || !isDigit(m_text[p])) {
        fail("bad number");
        return false;
    }
    if (m_text[p] == '0')
        ++p;
    else
        while (p < n && isDigit(m_text[p]))
            ++p;
    if (p < n && m_text[p] == '.') {
        ++p;
        if (p >= n || !isDigit(m_text[p])) {
            fail("bad number");
            return false;
        }
        while (p < n && isDigit(m_text[p]))
            ++p;
    }
    if (p < n && (m_text[p] == 'e' || m_text[p] == 'E')) {
        ++p;
        if (p < n && (m_text[p] == '+' || m_text[p] == '-'))
            ++p;
        if (p >= n || !isDigit(m_text[p])) {
            fail("bad number");
            return false;
        }
        while (p < n && isDigit(m_text[p]))
            ++p;
    }
    double value = 0;
    auto [end, ec] = std::from_chars(m_text.data() + m_pos, m_text.data() + p, value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: the sign's infinity or zero, never garbage.
        bool negative = m_text[m_pos] == '-';
        bool tiny = false;
        for (std::size_t i = m_pos; i < p; ++i)
            if (m_text[i] == 'e' || m_text[i] == 'E')
                tiny = m_text[i + 1] == '-';
        value = tiny ? 0.0 : (negative ? -HUGE_VAL : HUGE_VAL);
    } else if (ec != std::errc() || end != m_text.data() + p) {
        fail("bad number");
        return false;
    }
    m_pos = p;
    out = value;
    return true;
}

bool JsonReader::readBool(bool& out) {
    out = false;
    if (peek() != Kind::Bool) {
        fail("true or false expected");
        return false;
    }
    std::string_view rest = m_text.substr(m_pos);
    if (rest.starts_with("true")) {
        m_pos += 4;
        out = true;
        return true;
    }
    if (rest.starts_with("false")) {
        m_pos += 5;
        return true;
    }
    fail("true or false expected");
    return false;
}

bool JsonReader::readNull() {
    if (peek() != Kind::Null || !m_text.substr(m_pos).starts_with("null")) {
        fail("null expected");
        return false;
    }
    m_pos += 4;
    return true;
}

bool JsonReader::skipValue() {
    const std::size_t base = m_levels.size();
    std::string scratch;
    double number;
    bool flag;
    do {
        // The reader stands at a value: open it, or read it whole.
        switch (peek()) {
        case Kind::Object:
            beginObject();
            break;
        case Kind::Array:
            beginArray();
            break;
        case Kind::String:
            readString(scratch);
            break;
        case Kind::Number:
            readNumber(number);
            break;
        case Kind::Bool:
            readBool(flag);
            break;
        case Kind::Null:
            readNull();
            break;
        case Kind::Invalid:
            fail(m_pos >= m_text.size() ? "the text ends where a value was expected"
                                        : "a value expected");
            break;
        }
        // Then on to the next value inside the skipped part, closing what has ended.
        while (ok() && m_levels.size() > base) {
            bool more = m_levels.back().object ? nextMember(scratch) : nextElement();
            if (more)
                break;
        }
    } while (ok() && m_levels.size() > base);
    return ok();
}

bool JsonReader::atEnd() {
    if (!ok())
        return false;
    skipSpace();
    return m_pos == m_text.size();
}

} // namespace ondel
