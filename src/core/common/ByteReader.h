#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ondel {

// Bounded little-endian reader over untrusted bytes (datagrams, files, HTTP bodies).
// Failure is sticky: a read that would pass the end fails, leaves the position where it was,
// and every later read fails too. Failed reads return zero / empty values, never garbage.
// The reader does not own the bytes; they must outlive it.
class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const void* data, std::size_t size);
    explicit ByteReader(std::span<const std::uint8_t> bytes);

    bool ok() const { return m_ok; }
    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_ok ? m_size - m_pos : 0; }
    bool atEnd() const { return remaining() == 0; }

    std::uint8_t u8();
    std::int8_t i8() { return static_cast<std::int8_t>(u8()); }
    std::uint16_t u16();
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32();
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint64_t u64();
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
    float f32();

    // n raw bytes as a string (bytes kept as they are).
    std::string bytes(std::size_t n);
    // Bytes up to the next 0x00, which is consumed. Without a terminator before the end the read
    // fails (the string was cut off).
    std::string cString();
    // Bytes up to the next 0x00 (consumed) or to the end of the data, whichever comes first.
    // Never fails while the reader is ok.
    std::string cStringOrRest();
    bool skip(std::size_t n);
    // Marks the reader failed (a caller found the data inconsistent).
    void fail() { m_ok = false; }

    // Looks at the next byte without consuming it; 0 and no failure when nothing is left.
    std::uint8_t peek() const;

private:
    bool need(std::size_t n);

    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

} // namespace ondel
