#include "core/memory/AlignedMemory.h"

#include "core/console/GameConsole.h"

#include <cstdlib>

namespace memory
{
void* TryAllocateAligned(size_t bytes, size_t alignment)
{
    if (alignment < kDefaultAlignment)
        alignment = kDefaultAlignment;
    // aligned_alloc wants a whole number of alignment units.
    const size_t rounded = bytes == 0 ? alignment : (bytes + alignment - 1) / alignment * alignment;
    return rounded >= bytes ? std::aligned_alloc(alignment, rounded) : nullptr;
}

void* AllocateAligned(size_t bytes, size_t alignment)
{
    void* const block = TryAllocateAligned(bytes, alignment);
    if (block == nullptr)
        OutOfMemory(bytes);
    return block;
}

void OutOfMemory(size_t bytes)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Out of memory allocating %zu bytes", bytes);
    std::abort();
}

void FreeAligned(void* block)
{
    std::free(block);
}
} // namespace memory
