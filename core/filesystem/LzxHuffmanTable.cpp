#include "core/filesystem/LzxHuffmanTable.h"

#include <algorithm>

LzxHuffmanTable::LzxHuffmanTable(uint32_t tableBits) : m_tableBits(tableBits), m_table(size_t(1) << tableBits, kLongCode)
{
}

bool LzxHuffmanTable::Build(const uint8_t* lengths, uint32_t symbolCount)
{
    m_empty = true;
    if (symbolCount > kMaxSymbols)
        return false;
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    for (uint32_t symbol = 0; symbol < symbolCount; ++symbol)
    {
        if (lengths[symbol] > kMaxCodeLength)
            return false;
        ++m_counts[lengths[symbol]];
    }
    m_counts[0] = 0;

    uint32_t space = 0; // in units of 2^-16 of the code space
    for (uint32_t length = 1; length <= kMaxCodeLength; ++length)
        space += uint32_t(m_counts[length]) << (kMaxCodeLength - length);
    if (space == 0)
        return true;
    if (space != (1u << kMaxCodeLength))
        return false;

    uint16_t offsets[kMaxCodeLength + 2] = {};
    for (uint32_t length = 1; length <= kMaxCodeLength; ++length)
        offsets[length + 1] = static_cast<uint16_t>(offsets[length] + m_counts[length]);
    for (uint32_t symbol = 0; symbol < symbolCount; ++symbol)
        if (lengths[symbol] != 0)
            m_sorted[offsets[lengths[symbol]]++] = static_cast<uint16_t>(symbol);

    std::fill(m_table.begin(), m_table.end(), kLongCode);
    uint32_t code = 0;
    uint32_t index = 0;
    for (uint32_t length = 1; length <= kMaxCodeLength; ++length)
    {
        for (uint32_t i = 0; i < m_counts[length]; ++i, ++index, ++code)
        {
            if (length > m_tableBits)
                continue;
            const uint32_t first = code << (m_tableBits - length);
            const uint32_t last = (code + 1) << (m_tableBits - length);
            const uint16_t entry = static_cast<uint16_t>(m_sorted[index] << 5 | length);
            std::fill(m_table.begin() + first, m_table.begin() + last, entry);
        }
        code <<= 1;
    }
    m_empty = false;
    return true;
}

int LzxHuffmanTable::Decode(uint32_t peek, uint32_t& codeLength) const
{
    if (m_empty)
        return -1;
    const uint16_t entry = m_table[peek >> (kMaxCodeLength - m_tableBits)];
    if (entry != kLongCode)
    {
        codeLength = entry & 31u;
        return entry >> 5;
    }
    // Canonical walk: codes of one length are consecutive, starting at `first`.
    uint32_t code = 0;
    uint32_t first = 0;
    uint32_t index = 0;
    for (uint32_t length = 1; length <= kMaxCodeLength; ++length)
    {
        code |= (peek >> (kMaxCodeLength - length)) & 1u;
        const uint32_t count = m_counts[length];
        if (code - first < count)
        {
            codeLength = length;
            return m_sorted[index + code - first];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}
