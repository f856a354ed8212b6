#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzzcheck {

// Takes the choices of one run from the front of a fuzzer's input. Past the end every read
// gives zero or the empty text, so any input, however short, is a valid run.
class ByteReader
{
public:
    ByteReader(const std::uint8_t* data, std::size_t size)
        : m_data(reinterpret_cast<const char*>(data)), m_size(size)
    {
    }
    explicit ByteReader(std::string_view bytes) : m_data(bytes.data()), m_size(bytes.size()) {}

    std::uint8_t Byte() { return m_pos < m_size ? static_cast<std::uint8_t>(m_data[m_pos++]) : 0; }
    std::uint16_t Word()
    {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }
    // A text of at most maxLength bytes, its length given by the byte before it.
    std::string Text(std::size_t maxLength = 255)
    {
        std::size_t length = Byte();
        if (length > maxLength)
            length = maxLength;
        return Take(length);
    }
    std::string Take(std::size_t count)
    {
        if (count > m_size - m_pos)
            count = m_size - m_pos;
        std::string out(m_data + m_pos, count);
        m_pos += count;
        return out;
    }
    std::string Rest() { return Take(m_size - m_pos); }
    bool AtEnd() const { return m_pos == m_size; }

private:
    const char* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace fuzzcheck
