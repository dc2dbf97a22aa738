#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads a fuzz input as a sequence of small commands: bytes, 16-bit lengths and byte blocks.
// Running out of input yields zeros and empty blocks, so every input is a valid sequence.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    std::size_t remaining() const { return m_size - m_pos; }

    std::uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t u16() {
        std::uint16_t lo = byte();
        return static_cast<std::uint16_t>(lo | (byte() << 8));
    }
    // A block of the given length, cut to what is left.
    std::vector<std::uint8_t> block(std::size_t n) {
        if (n > remaining())
            n = remaining();
        std::vector<std::uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }
    // A block preceded by its 16-bit length.
    std::vector<std::uint8_t> sizedBlock() { return block(u16()); }
    std::vector<std::uint8_t> rest() { return block(remaining()); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};
