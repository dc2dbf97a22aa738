#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ondel {

// Little-endian byte builder for datagrams and files. Owns its buffer.
class ByteWriter {
public:
    void u8(std::uint8_t v) { m_bytes.push_back(v); }
    void i8(std::int8_t v) { u8(static_cast<std::uint8_t>(v)); }
    void u16(std::uint16_t v);
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void u32(std::uint32_t v);
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void u64(std::uint64_t v);
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
    void f32(float v);
    void bytes(std::string_view s);
    void bytes(const void* data, std::size_t n);
    // The bytes of s and a terminating 0x00.
    void cString(std::string_view s);

    const std::vector<std::uint8_t>& data() const { return m_bytes; }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }
    std::size_t size() const { return m_bytes.size(); }
    void reserve(std::size_t n) { m_bytes.reserve(n); }
    void clear() { m_bytes.clear(); }

private:
    std::vector<std::uint8_t> m_bytes;
};

} // namespace ondel
