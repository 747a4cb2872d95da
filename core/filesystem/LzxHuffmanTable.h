// Canonical Huffman decoding table of the LZX decoder (codes most significant bit first, at most 16
// bits). Owned by one decoder, used by the thread that reads its stream.
#pragma once

#include <cstdint>
#include <vector>

// Decodes symbols of one LZX tree: a direct table for short codes, a canonical walk for longer ones.
class LzxHuffmanTable
{
public:
    static constexpr uint32_t kMaxCodeLength = 16;
    static constexpr uint32_t kMaxSymbols = 656; // the main tree of a 2 MiB window

    explicit LzxHuffmanTable(uint32_t tableBits);

    // False when the lengths neither fill the code space exactly nor are all zero (all zero gives an
    // empty table that decodes nothing).
    bool Build(const uint8_t* lengths, uint32_t symbolCount);

    // `peek` holds the next 16 stream bits, the first in bit 15. Returns the symbol and its code length,
    // or -1 when the table is empty.
    int Decode(uint32_t peek, uint32_t& codeLength) const;

private:
    static constexpr uint16_t kLongCode = 0xFFFF;

    const uint32_t m_tableBits;
    std::vector<uint16_t> m_table; // symbol << 5 | code length, or kLongCode
    uint16_t m_counts[kMaxCodeLength + 1] = {};
    uint16_t m_sorted[kMaxSymbols] = {}; // symbols ordered by code length, then value
    bool m_empty = true;
};
