#include "core/memory/FrameRingAllocator.h"

#include "core/memory/AlignedMemory.h"

FrameRingAllocator gFrameRingAllocator;

namespace
{
constexpr uint32_t kGranule = 16;
}

void FrameRingAllocator::Init(uint32_t size)
{
    if (m_buffer == nullptr && size > 0)
    {
        m_buffer = static_cast<uint8_t*>(memory::AllocateAligned(size, kGranule));
        m_size = size;
    }
    m_offset = 0;
    m_generation = 0;
}

bool FrameRingAllocator::Allocate(uint32_t bytes, void*& pointer, uint32_t& generation)
{
    const uint64_t rounded = (uint64_t(bytes) + kGranule - 1) / kGranule * kGranule;
    if (m_buffer == nullptr || rounded > m_size)
        return false;
    if (m_offset + rounded > m_size)
    {
        ++m_generation;
        m_offset = 0;
    }
    pointer = m_buffer + m_offset;
    generation = m_generation;
    m_offset += uint32_t(rounded);
    return true;
}

void FrameRingAllocator::NextGeneration()
{
    ++m_generation;
    m_offset = 0;
}

void FrameRingAllocator::Release()
{
    memory::FreeAligned(m_buffer);
    m_buffer = nullptr;
    m_size = 0;
    m_offset = 0;
}
