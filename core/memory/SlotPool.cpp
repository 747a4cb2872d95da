#include "core/memory/SlotPool.h"

#include "core/memory/AlignedMemory.h"
#include "platform/os/Heap.h"
#include "platform/os/Sync.h"

#include <cstdint>

namespace
{
using Pool = SlotPool;

constexpr size_t kSizeClasses = Pool::kLargestSlot / Pool::kSlotAlignment;

struct FreeSlot
{
    FreeSlot* next;
};

// The slots of one size: the freed ones first, then the untouched rest of the newest block.
struct SizeClass
{
    FreeSlot* free = nullptr;
    uint8_t* next = nullptr;
    uint8_t* end = nullptr;
};

// Each block starts with the link to the block taken before it, so that every block stays
// reachable from here (leak checkers see the slots, free or not, as the pool's).
struct BlockHeader
{
    BlockHeader* previous;
};

os::CriticalSection gPoolLock;
SizeClass gSizeClasses[kSizeClasses];
BlockHeader* gNewestBlock = nullptr;

size_t SlotBytes(size_t bytes)
{
    return bytes == 0 ? Pool::kSlotAlignment : (bytes + Pool::kSlotAlignment - 1) / Pool::kSlotAlignment * Pool::kSlotAlignment;
}
} // namespace

void* SlotPool::Allocate(size_t bytes)
{
    if (bytes > kLargestSlot)
        return memory::AllocateAligned(bytes, kSlotAlignment);
    const size_t slotBytes = SlotBytes(bytes);
    const os::ScopedLock lock(gPoolLock);
    SizeClass& slots = gSizeClasses[slotBytes / kSlotAlignment - 1];
    if (slots.free != nullptr)
    {
        FreeSlot* const slot = slots.free;
        slots.free = slot->next;
        return slot;
    }
    if (size_t(slots.end - slots.next) < slotBytes)
    {
        uint8_t* const block = static_cast<uint8_t*>(memory::AllocateAligned(kBlockBytes, kBlockBytes));
        os::AdviseLargePages(block, kBlockBytes);
        BlockHeader* const header = reinterpret_cast<BlockHeader*>(block);
        header->previous = gNewestBlock;
        gNewestBlock = header;
        slots.next = block + kSlotAlignment;
        slots.end = block + kBlockBytes;
    }
    void* const slot = slots.next;
    slots.next += slotBytes;
    return slot;
}

void SlotPool::Free(void* slot, size_t bytes)
{
    if (slot == nullptr)
        return;
    if (bytes > kLargestSlot)
    {
        memory::FreeAligned(slot);
        return;
    }
    const os::ScopedLock lock(gPoolLock);
    SizeClass& slots = gSizeClasses[SlotBytes(bytes) / kSlotAlignment - 1];
    FreeSlot* const freed = static_cast<FreeSlot*>(slot);
    freed->next = slots.free;
    slots.free = freed;
}

void* SlotPool::AllocateObject(size_t bytes, std::align_val_t alignment)
{
    if (!kPoolsObjects || size_t(alignment) > kSlotAlignment)
        return ::operator new(bytes, alignment);
    return Allocate(bytes);
}

void SlotPool::FreeObject(void* object, size_t bytes, std::align_val_t alignment)
{
    if (!kPoolsObjects || size_t(alignment) > kSlotAlignment)
        ::operator delete(object, bytes, alignment);
    else
        Free(object, bytes);
}
