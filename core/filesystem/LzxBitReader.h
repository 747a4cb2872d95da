// Bit reader of the LZX decoder: 16-bit little-endian words, bits taken most significant first.
// Reads stay inside one frame's payload; words past its end read as zero and consuming any of their
// bits marks the reader as overrun. Used by the thread that owns the decoder.
#pragma once

#include <cstdint>

// Reads bits from one frame payload, bounded by its size.
class LzxBitReader
{
public:
    // Starts reading 16-bit words at byte `start` of the payload.
    void Prime(const uint8_t* payload, uint32_t size, uint32_t start)
    {
        m_payload = payload;
        m_size = size;
        m_start = start;
        m_position = start;
        m_buffer = 0;
        m_bits = 0;
    }

    // The next 16 bits without consuming them, the first in bit 15.
    uint32_t Peek16()
    {
        Fill();
        return static_cast<uint32_t>(m_buffer >> 48);
    }

    void Consume(uint32_t count)
    {
        m_buffer <<= count;
        m_bits -= count;
    }

    // count <= 16.
    uint32_t Read(uint32_t count)
    {
        if (count == 0)
            return 0;
        Fill();
        const uint32_t value = static_cast<uint32_t>(m_buffer >> (64 - count));
        Consume(count);
        return value;
    }

    // True when more bits were consumed than the payload holds.
    bool Overrun() const { return uint64_t(m_position) * 8 - m_bits > uint64_t(m_size) * 8; }

    // Byte position after the padding that ends bit reading before raw data: the rest of the current
    // 16-bit word, or a whole word when the reader sits on a word boundary.
    uint32_t AlignedBytePosition() const
    {
        const uint64_t consumed = uint64_t(m_position - m_start) * 8 - m_bits;
        return m_start + static_cast<uint32_t>((consumed / 16 + 1) * 2);
    }

private:
    void Fill()
    {
        while (m_bits <= 48)
        {
            uint32_t word = 0;
            if (m_position < m_size)
                word = m_payload[m_position];
            if (m_position + 1 < m_size)
                word |= uint32_t(m_payload[m_position + 1]) << 8;
            m_buffer |= uint64_t(word) << (48 - m_bits);
            m_bits += 16;
            m_position += 2;
        }
    }

    const uint8_t* m_payload = nullptr;
    uint32_t m_size = 0;
    uint32_t m_start = 0;
    uint32_t m_position = 0; // byte position of the next word to load
    uint64_t m_buffer = 0;   // unread bits, left-aligned
    uint32_t m_bits = 0;
};
