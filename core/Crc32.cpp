#include "core/Crc32.h"

#include <array>

namespace
{
constexpr uint32_t kPolynomial = 0x04C11DB7u;

constexpr std::array<uint32_t, 256> BuildTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i)
    {
        uint32_t value = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 0x80000000u) != 0 ? (value << 1) ^ kPolynomial : value << 1;
        table[i] = value;
    }
    return table;
}

// Built once, at compile time, and shared by every caller.
constexpr std::array<uint32_t, 256> kTable = BuildTable();
} // namespace

uint32_t ComputeCrc32(const void* data, size_t size, uint32_t crc)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ kTable[(crc >> 24) ^ bytes[i]];
    return crc;
}

bool CheckCrc32(const void* data, size_t size, uint32_t expected)
{
    return ComputeCrc32(data, size) == expected;
}
