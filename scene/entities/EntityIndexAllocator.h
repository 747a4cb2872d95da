// The global entity index allocator: compact indices below kMaxEntities, reused lowest-first, that
// key entities in the grid cells and the 32768-bit visited maps of spatial walks. Main thread only.
#pragma once

#include <cstdint>

// Hands out entity indices; never one at or past kMaxEntities.
class EntityIndexAllocator
{
public:
    // kNoEntityIndex (logged) when every index is taken.
    static uint32_t Allocate();
    static void Release(uint32_t index);
    static uint32_t GetInUseCount();
};
