#include "core/memory/IndexPool.h"

#include "core/console/GameConsole.h"
#include "core/memory/AlignedMemory.h"

IndexPool::IndexPool(uint32_t elementSize, uint32_t count)
{
    if (elementSize == 0 || count == 0 || count > kMaxElements)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Index pool of %u elements of %u bytes refused", count, elementSize);
        return;
    }
    // Each element starts on the global allocator's alignment, whatever its size.
    const uint64_t stride = (uint64_t(elementSize) + memory::kDefaultAlignment - 1) / memory::kDefaultAlignment *
                            memory::kDefaultAlignment;
    // Sizes within 15 bytes of 4 GB round past 32 bits: a zero stride would hand out one address.
    if (stride > UINT32_MAX)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Index pool of %u elements of %u bytes refused", count, elementSize);
        return;
    }
    m_stride = uint32_t(stride);
    m_count = count;
    m_block = static_cast<uint8_t*>(memory::AllocateAligned(size_t(stride) * count));
    m_freeIndices = static_cast<uint16_t*>(memory::AllocateAligned(sizeof(uint16_t) * count));
    for (uint32_t i = 0; i < count; ++i)
        m_freeIndices[i] = uint16_t(i);
    m_freeCount = count;
}

IndexPool::~IndexPool()
{
    memory::FreeAligned(m_block);
    memory::FreeAligned(m_freeIndices);
}

void* IndexPool::Allocate()
{
    if (m_freeCount == 0)
        return nullptr;
    return m_block + size_t(m_freeIndices[--m_freeCount]) * m_stride;
}

void IndexPool::Free(void* element)
{
    if (element == nullptr)
        return;
    const uintptr_t address = reinterpret_cast<uintptr_t>(element);
    const uintptr_t base = reinterpret_cast<uintptr_t>(m_block);
    if (m_block == nullptr || address < base || address >= base + uint64_t(m_stride) * m_count ||
        (address - base) % m_stride != 0 || m_freeCount == m_count)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Index pool refused to free %p", element);
        return;
    }
    m_freeIndices[m_freeCount++] = uint16_t((address - base) / m_stride);
}
