#include "ByteReader.h"

#include <bit>
#include <cstring>

namespace ondel {

ByteReader::ByteReader(const void* data, std::size_t size)
    : m_data(static_cast<const std::uint8_t*>(data)), m_size(data ? size : 0) {}

ByteReader::ByteReader(std::span<const std::uint8_t> bytes)
    : m_data(bytes.data()), m_size(bytes.size()) {}

bool ByteReader::need(std::size_t n) {
    if (!m_ok || n > m_size - m_pos) {
        m_ok = false;
        return false;
    }
    return true;
}

std::uint8_t ByteReader::u8() {
    if (!need(1))
        return 0;
    return m_data[m_pos++];
}

std::uint16_t ByteReader::u16() {
    if (!need(2))
        return 0;
    std::uint16_t v = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

std::uint32_t ByteReader::u32() {
    if (!need(4))
        return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | m_data[m_pos + static_cast<std::size_t>(i)];
    m_pos += 4;
    return v;
}

std::uint64_t ByteReader::u64() {
    if (!need(8))
        return 0;
    std::uint64_t lo = u32();
    std::uint64_t hi = u32();
    return lo | (hi << 32);
}

float ByteReader::f32() {
    return std::bit_cast<float>(u32());
}

std::string ByteReader::bytes(std::size_t n) {
    if (!need(n))
        return {};
    std::string s(reinterpret_cast<const char*>(m_data + m_pos), n);
    m_pos += n;
    return s;
}

std::string ByteReader::cString() {
    if (!m_ok)
        return {};
    const void* nul = std::memchr(m_data + m_pos, 0, m_size - m_pos);
    if (!nul) {
        m_ok = false;
        return {};
    }
    std::size_t len =
        static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (m_data + m_pos));
    std::string s(reinterpret_cast<const char*>(m_data + m_pos), len);
    m_pos += len + 1;
    return s;
}

std::string ByteReader::cStringOrRest() {
    if (!m_ok)
        return {};
    const void* nul = std::memchr(m_data + m_pos, 0, m_size - m_pos);
    std::size_t len =
        nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (m_data + m_pos))
            : m_size - m_pos;
    std::string s(reinterpret_cast<const char*>(m_data + m_pos), len);
    m_pos += nul ? len + 1 : len;
    return s;
}

bool ByteReader::skip(std::size_t n) {
    if (!need(n))
        return false;
    m_pos += n;
    return true;
}

std::uint8_t ByteReader::peek() const {
    return (m_ok && m_pos < m_size) ? m_data[m_pos] : 0;
}

} // namespace ondel
