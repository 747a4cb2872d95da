// Fixed-size slots from one block. One thread only: there is no lock.
#pragma once

#include <cstdint>

// Recycles up to 65536 equal-sized elements; a stack of free indices hands out the highest first.
class IndexPool
{
public:
    static constexpr uint32_t kMaxElements = 65536;

    // A count above kMaxElements, a size or count of 0, or a size whose 16-byte stride passes 32 bits
    // gives an empty pool and a logged error.
    IndexPool(uint32_t elementSize, uint32_t count);
    IndexPool(const IndexPool&) = delete;
    IndexPool& operator=(const IndexPool&) = delete;
    ~IndexPool();

    // Null when every element is taken.
    void* Allocate();
    // Pointers that are not elements of this pool, and frees beyond the pool's size, are refused.
    void Free(void* element);

    uint32_t GetFreeCount() const { return m_freeCount; }
    uint32_t GetElementCount() const { return m_count; }
    // Distance between elements: the size raised to a multiple of 16, so every element is aligned.
    uint32_t GetElementStride() const { return m_stride; }

private:
    uint8_t* m_block = nullptr;
    uint32_t m_freeCount = 0;
    uint16_t* m_freeIndices = nullptr;
    uint32_t m_stride = 0;
    uint32_t m_count = 0;
};
