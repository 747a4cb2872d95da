// The system's CRC-32: most significant bit first, polynomial 0x04C11DB7, initial value 0, no
// reflection, no final xor (the CRC of "123456789" is 0x89A1897F). Any thread may call these.
#pragma once

#include <cstddef>
#include <cstdint>

// Continues `crc` over `size` bytes; an empty buffer leaves it unchanged (0 from the start).
uint32_t ComputeCrc32(const void* data, size_t size, uint32_t crc = 0);
// True when the CRC of the bytes equals `expected`.
bool CheckCrc32(const void* data, size_t size, uint32_t expected);
