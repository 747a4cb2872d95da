// Compact integer ids. One thread only (the main thread for entity indices).
#pragma once

#include "core/containers/Dynarray.h"

#include <cstdint>

// Hands out the lowest-numbered ids it can: released ids are reused, most recent first, and the
// counter falls back when the highest ids are returned.
class IdAllocator
{
public:
    uint32_t Allocate();
    // Ids that were never handed out are refused with a logged error.
    void Release(uint32_t id);

    uint32_t GetNextId() const { return m_nextId; }
    int32_t GetFreeCount() const { return m_free.Count(); }

private:
    void Trim();

    Dynarray<uint32_t> m_free;
    uint32_t m_nextId = 0;
};
