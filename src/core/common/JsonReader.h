#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// Pull reader over untrusted JSON text (HTTP replies). The caller walks the document with
// beginObject/nextMember, beginArray/nextElement and the scalar reads, and skips what it does
// not want with skipValue. Nothing recurses: nesting deeper than maxDepth fails, and skipValue
// keeps its own bounded stack, so no document can exhaust the call stack.
// Failure is sticky (like ByteReader): the first syntax error, wrong type or over-deep nesting
// marks the reader failed, records why and where, and every later call returns false.
// Strings come back as UTF-8 (\u escapes decoded; a lone surrogate becomes U+FFFD); raw bytes
// of the text are kept as they are. The reader does not own the text; it must outlive it.
class JsonReader {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object, Invalid };

    static constexpr int kDefaultMaxDepth = 64;

    explicit JsonReader(std::string_view text, int maxDepth = kDefaultMaxDepth);

    bool ok() const { return m_error.empty(); }
    // Why the reader failed and the byte offset where it noticed; empty while ok.
    const std::string& error() const { return m_error; }
    std::size_t errorOffset() const { return m_errorOffset; }

    // The kind of the next value (white space skipped); Invalid at the end of the text, on a
    // byte that starts no value, or once failed. Consumes nothing.
    Kind peek();

    bool beginObject();
    // At the start of the next member: true with its key, the reader then standing at the
    // member's value. False once the object has ended (the closing brace consumed) or failed.
    bool nextMember(std::string& key);
    bool beginArray();
    // True when another element follows (the reader stands at it); false once the array has
    // ended (the closing bracket consumed) or failed.
    bool nextElement();

    bool readString(std::string& out);
    bool readNumber(double& out);
    bool readBool(bool& out);
    bool readNull();
    // Reads and throws away the next value, containers included.
    bool skipValue();

    // True when only white space is left after the values read (the document is complete).
    bool atEnd();

    // Marks the reader failed with reason at the current position (a caller found the data
    // inconsistent); keeps the first reason.
    void fail(const std::string& reason);

private:
    struct Level {
        bool object;
        bool first;
    };

    void skipSpace();
    bool expect(char c);
    bool enter(bool object);
    bool readHex4(unsigned& value);

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_maxDepth;
    std::vector<Level> m_levels;
    std::string m_error;
    std::size_t m_errorOffset = 0;
};

} // namespace ondel
