// In-place byte-order reversal of 16- and 32-bit words, for writers of byte-swapped data (the
// mesh and material writers). Any thread.
#pragma once

#include <cstdint>
#include <cstring>

// Reverses the four bytes at `word` (any alignment).
inline void ByteSwap32(void* word)
{
    uint8_t* const bytes = static_cast<uint8_t*>(word);
    uint8_t swapped[4] = {bytes[3], bytes[2], bytes[1], bytes[0]};
    std::memcpy(bytes, swapped, 4);
}

// Reverses the two bytes at `word` (any alignment).
inline void ByteSwap16(void* word)
{
    uint8_t* const bytes = static_cast<uint8_t*>(word);
    const uint8_t first = bytes[0];
    bytes[0] = bytes[1];
    bytes[1] = first;
}
