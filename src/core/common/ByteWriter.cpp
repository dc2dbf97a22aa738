#include "ByteWriter.h"

#include <bit>

namespace ondel {

void ByteWriter::u16(std::uint16_t v) {
    m_bytes.push_back(static_cast<std::uint8_t>(v));
    m_bytes.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        m_bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void ByteWriter::u64(std::uint64_t v) {
    u32(static_cast<std::uint32_t>(v));
    u32(static_cast<std::uint32_t>(v >> 32));
}

void ByteWriter::f32(float v) {
    u32(std::bit_cast<std::uint32_t>(v));
}

void ByteWriter::bytes(std::string_view s) {
    m_bytes.insert(m_bytes.end(), s.begin(), s.end());
}

void ByteWriter::bytes(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + n);
}

void ByteWriter::cString(std::string_view s) {
    bytes(s);
    m_bytes.push_back(0);
}

} // namespace ondel
