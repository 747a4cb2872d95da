#include "core/memory/SystemMemoryPool.h"

#include "core/console/GameConsole.h"
#include "core/memory/AlignedMemory.h"

namespace
{
bool IsPowerOfTwo(uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}
} // namespace

SystemMemoryPool::~SystemMemoryPool()
{
    Release();
}

SystemMemoryChunk* SystemMemoryPool::CreateChunk()
{
    return new SystemMemoryChunk;
}

bool SystemMemoryPool::Init(uint32_t size, int32_t alignment, uint32_t parameter)
{
    Release();
    const os::ScopedLock lock(m_lock);
    if (size == 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Memory pool of size 0 requested");
        return false;
    }
    m_alignment = alignment > 0 ? uint32_t(alignment) : 1;
    m_parameter = parameter;
    m_size = size;
    const size_t blockAlignment = IsPowerOfTwo(m_alignment) ? m_alignment : memory::kDefaultAlignment;
    m_block = static_cast<uint8_t*>(memory::AllocateAligned(size, blockAlignment));
    SystemMemoryChunk* const chunk = NewChunk(0, size, true);
    InsertAfter(chunk, nullptr);
    InsertFreeAfter(chunk, nullptr);
    return true;
}

SystemMemoryChunk* SystemMemoryPool::NewChunk(uint32_t offset, uint32_t length, bool free)
{
    SystemMemoryChunk* const chunk = CreateChunk();
    chunk->m_offset = offset;
    chunk->m_length = length;
    chunk->m_free = free ? 1 : 0;
    chunk->m_loading = free ? 0 : 1;
    return chunk;
}

uint32_t SystemMemoryPool::PaddingFor(const SystemMemoryChunk* chunk, uint32_t alignment) const
{
    const uintptr_t address = reinterpret_cast<uintptr_t>(m_block) + chunk->m_offset;
    return uint32_t((alignment - address % alignment) % alignment);
}

SystemMemoryChunk* SystemMemoryPool::Allocate(uint32_t size, int32_t alignment)
{
    const os::ScopedLock lock(m_lock);
    if (m_block == nullptr || size == 0)
        return nullptr;
    const uint32_t align = alignment < 0 ? m_alignment : (alignment == 0 ? 1 : uint32_t(alignment));
    const uint64_t rounded = (uint64_t(size) + align - 1) / align * align;
    if (rounded > m_size)
        return nullptr;
    const uint32_t length = uint32_t(rounded);

    // A chunk can start off the alignment once pools mix alignments, so the fit counts the padding
    // needed to reach an aligned address, not only the rounded size.
    SystemMemoryChunk* best = nullptr;
    uint32_t bestPadding = 0;
    for (SystemMemoryChunk* chunk = m_freeHead; chunk != nullptr; chunk = chunk->m_nextFree)
    {
        const uint32_t padding = PaddingFor(chunk, align);
        if (uint64_t(padding) + length > chunk->m_length)
            continue;
        if (padding == 0 && chunk->m_length == length)
        {
            UnlinkFree(chunk);
            chunk->m_free = 0;
            chunk->m_loading = 1;
            return chunk;
        }
        if (best == nullptr || chunk->m_length < best->m_length)
        {
            best = chunk;
            bestPadding = padding;
        }
    }
    if (best == nullptr)
        return nullptr;

    SystemMemoryChunk* const used = NewChunk(best->m_offset + bestPadding, length, false);
    if (bestPadding == 0)
    {
        InsertBefore(used, best);
        best->m_offset += length;
        best->m_length -= length;
        return used;
    }
    // The free chunk shrinks to the padding in front; what is left behind gets its own free chunk.
    const uint32_t rest = best->m_length - bestPadding - length;
    best->m_length = bestPadding;
    InsertAfter(used, best);
    if (rest > 0)
    {
        SystemMemoryChunk* const tail = NewChunk(used->m_offset + length, rest, true);
        InsertAfter(tail, used);
        InsertFreeAfter(tail, best);
    }
    return used;
}

void SystemMemoryPool::ClearLoading(SystemMemoryChunk* chunk)
{
    const os::ScopedLock lock(m_lock);
    if (chunk != nullptr)
        chunk->m_loading = 0;
}

void SystemMemoryPool::Free(SystemMemoryChunk* chunk)
{
    const os::ScopedLock lock(m_lock);
    if (chunk == nullptr)
        return;
    if (chunk->m_free != 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Memory pool chunk at %u freed twice", chunk->m_offset);
        return;
    }
    SystemMemoryChunk* const previous = chunk->m_previous;
    SystemMemoryChunk* const next = chunk->m_next;
    if (previous != nullptr && previous->m_free != 0)
    {
        previous->m_length += chunk->m_length;
        Unlink(chunk);
        delete chunk;
        if (next != nullptr && next->m_free != 0)
        {
            previous->m_length += next->m_length;
            Unlink(next);
            UnlinkFree(next);
            delete next;
        }
        return;
    }
    if (next != nullptr && next->m_free != 0)
    {
        next->m_offset = chunk->m_offset;
        next->m_length += chunk->m_length;
        Unlink(chunk);
        delete chunk;
        return;
    }
    SystemMemoryChunk* freeBefore = previous;
    while (freeBefore != nullptr && freeBefore->m_free == 0)
        freeBefore = freeBefore->m_previous;
    chunk->m_free = 1;
    chunk->m_loading = 0;
    InsertFreeAfter(chunk, freeBefore);
}

void* SystemMemoryPool::GetChunkAddress(const SystemMemoryChunk* chunk) const
{
    if (chunk == nullptr || m_block == nullptr)
        return nullptr;
    return m_block + chunk->m_offset;
}

void SystemMemoryPool::Dump()
{
    const os::ScopedLock lock(m_lock);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Dump of memory pool of size %d and alignment %d", int(m_size),
                    int(m_alignment));
    int index = 0;
    uint32_t highWatermark = 0;
    for (const SystemMemoryChunk* chunk = m_head; chunk != nullptr; chunk = chunk->m_next)
    {
        if (chunk->m_free != 0)
            continue;
        const char* const description = chunk->GetDescription();
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Chunk: %06d    start: %08d, length: %08d, loading: %d [%s]", index,
                        int(chunk->m_offset), int(chunk->m_length), int(chunk->m_loading),
                        description != nullptr ? description : "");
        ++index;
        if (chunk->m_offset + chunk->m_length > highWatermark)
            highWatermark = chunk->m_offset + chunk->m_length;
    }
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "High watermark: %u", highWatermark);
}

void SystemMemoryPool::Release()
{
    const os::ScopedLock lock(m_lock);
    int used = 0;
    for (SystemMemoryChunk* chunk = m_head; chunk != nullptr;)
    {
        SystemMemoryChunk* const next = chunk->m_next;
        used += chunk->m_free == 0;
        delete chunk;
        chunk = next;
    }
    if (used > 0)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Memory pool released with %d chunks still in use", used);
    memory::FreeAligned(m_block);
    m_block = nullptr;
    m_size = 0;
    m_head = m_tail = m_freeHead = m_freeTail = nullptr;
}

void SystemMemoryPool::InsertAfter(SystemMemoryChunk* chunk, SystemMemoryChunk* after)
{
    chunk->m_previous = after;
    chunk->m_next = after != nullptr ? after->m_next : m_head;
    if (chunk->m_next != nullptr)
        chunk->m_next->m_previous = chunk;
    else
        m_tail = chunk;
    if (after != nullptr)
        after->m_next = chunk;
    else
        m_head = chunk;
}

void SystemMemoryPool::InsertBefore(SystemMemoryChunk* chunk, SystemMemoryChunk* before)
{
    InsertAfter(chunk, before->m_previous);
}

void SystemMemoryPool::Unlink(SystemMemoryChunk* chunk)
{
    if (chunk->m_previous != nullptr)
        chunk->m_previous->m_next = chunk->m_next;
    else
        m_head = chunk->m_next;
    if (chunk->m_next != nullptr)
        chunk->m_next->m_previous = chunk->m_previous;
    else
        m_tail = chunk->m_previous;
    chunk->m_previous = chunk->m_next = nullptr;
}

void SystemMemoryPool::InsertFreeAfter(SystemMemoryChunk* chunk, SystemMemoryChunk* after)
{
    chunk->m_previousFree = after;
    chunk->m_nextFree = after != nullptr ? after->m_nextFree : m_freeHead;
    if (chunk->m_nextFree != nullptr)
        chunk->m_nextFree->m_previousFree = chunk;
    else
        m_freeTail = chunk;
    if (after != nullptr)
        after->m_nextFree = chunk;
    else
        m_freeHead = chunk;
}

void SystemMemoryPool::UnlinkFree(SystemMemoryChunk* chunk)
{
    if (chunk->m_previousFree != nullptr)
        chunk->m_previousFree->m_nextFree = chunk->m_nextFree;
    else
        m_freeHead = chunk->m_nextFree;
    if (chunk->m_nextFree != nullptr)
        chunk->m_nextFree->m_previousFree = chunk->m_previousFree;
    else
        m_freeTail = chunk->m_previousFree;
    chunk->m_previousFree = chunk->m_nextFree = nullptr;
}
