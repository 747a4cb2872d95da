// Chunks of one large block. Any thread may call: every operation takes the pool's lock.
//
// Small allocators for subsystems that must not fragment the heap or allocate per frame:
// SystemMemoryPool (aligned chunks of one block, marked while they are being loaded),
// FrameRingAllocator (per-frame scratch memory tagged with a generation), IdAllocator (compact
// integer ids) and IndexPool (fixed-size slots). Only SystemMemoryPool locks; the other three
// belong to one thread each.
//
// The pool keeps every chunk, used or free, in one list in address order and the free chunks in a
// second list, also in address order. Allocation takes the exact fit or else the smallest free
// chunk that fits, splitting it; freeing merges with free neighbours.
#pragma once

#include "platform/os/Sync.h"

#include <cstdint>

// One piece of a SystemMemoryPool's block; subclasses add what their pool needs to describe it.
class SystemMemoryChunk
{
public:
    SystemMemoryChunk() = default;
    SystemMemoryChunk(const SystemMemoryChunk&) = delete;
    SystemMemoryChunk& operator=(const SystemMemoryChunk&) = delete;
    virtual ~SystemMemoryChunk() = default;

    // Text shown beside the chunk in Dump; null for none.
    virtual const char* GetDescription() const { return nullptr; }

    uint32_t GetOffset() const { return m_offset; }
    uint32_t GetLength() const { return m_length; }
    bool IsFree() const { return m_free != 0; }
    bool IsLoading() const { return m_loading != 0; }
    const SystemMemoryChunk* GetNext() const { return m_next; }
    const SystemMemoryChunk* GetNextFree() const { return m_nextFree; }

private:
    friend class SystemMemoryPool;

    uint32_t m_offset = 0;
    uint32_t m_length = 0;
    uint8_t m_free = 0;
    uint8_t m_loading = 0;
    SystemMemoryChunk* m_previous = nullptr;
    SystemMemoryChunk* m_next = nullptr;
    SystemMemoryChunk* m_previousFree = nullptr;
    SystemMemoryChunk* m_nextFree = nullptr;
};

// Hands out aligned chunks of one block and tracks which are still being loaded.
class SystemMemoryPool
{
public:
    SystemMemoryPool() = default;
    SystemMemoryPool(const SystemMemoryPool&) = delete;
    SystemMemoryPool& operator=(const SystemMemoryPool&) = delete;
    virtual ~SystemMemoryPool();

    // Allocates the block (size in bytes) as one free chunk; `parameter` is kept for subclasses.
    bool Init(uint32_t size, int32_t alignment, uint32_t parameter);
    // A chunk of `size` bytes raised to a multiple of the alignment (< 0: the pool's), starting on
    // an address of that alignment, with its loading flag set; null when nothing fits.
    SystemMemoryChunk* Allocate(uint32_t size, int32_t alignment = -1);
    // The caller has finished filling the chunk.
    void ClearLoading(SystemMemoryChunk* chunk);
    void Free(SystemMemoryChunk* chunk);
    void* GetChunkAddress(const SystemMemoryChunk* chunk) const;
    // Logs the used chunks and the high watermark.
    void Dump();
    // Deletes every chunk and frees the block; chunks still in use are reported first.
    void Release();

    uint32_t GetSize() const { return m_size; }
    uint32_t GetAlignment() const { return m_alignment; }
    uint32_t GetParameter() const { return m_parameter; }
    // Walks for inspection; hold no chunk pointers across other calls on another thread.
    const SystemMemoryChunk* GetFirstChunk() const { return m_head; }
    const SystemMemoryChunk* GetFirstFreeChunk() const { return m_freeHead; }

protected:
    // Creates an empty chunk object of the pool's kind.
    virtual SystemMemoryChunk* CreateChunk();

private:
    SystemMemoryChunk* NewChunk(uint32_t offset, uint32_t length, bool free);
    void InsertAfter(SystemMemoryChunk* chunk, SystemMemoryChunk* after);
    void InsertBefore(SystemMemoryChunk* chunk, SystemMemoryChunk* before);
    void Unlink(SystemMemoryChunk* chunk);
    // Inserts into the free list after `after`, or at its head when `after` is null.
    void InsertFreeAfter(SystemMemoryChunk* chunk, SystemMemoryChunk* after);
    void UnlinkFree(SystemMemoryChunk* chunk);
    uint32_t PaddingFor(const SystemMemoryChunk* chunk, uint32_t alignment) const;

    os::CriticalSection m_lock;
    uint8_t* m_block = nullptr;
    uint32_t m_size = 0;
    uint32_t m_alignment = 0;
    uint32_t m_parameter = 0;
    SystemMemoryChunk* m_head = nullptr;
    SystemMemoryChunk* m_tail = nullptr;
    SystemMemoryChunk* m_freeHead = nullptr;
    SystemMemoryChunk* m_freeTail = nullptr;
};
