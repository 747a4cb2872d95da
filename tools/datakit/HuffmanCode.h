// Length-limited canonical Huffman codes for the data writers. Any thread; no shared state.
#pragma once

#include <cstdint>
#include <vector>

// Code lengths and canonical codes (most significant bit first) of one alphabet.
struct HuffmanCode
{
    std::vector<uint8_t> lengths;
    std::vector<uint32_t> codes;

    // Builds a code from symbol frequencies with no length above maxLength. The code always fills
    // the code space: a lone used symbol is paired with an unused one; no used symbol gives all zero.
    static HuffmanCode Build(const std::vector<uint32_t>& frequencies, uint32_t maxLength);
};
