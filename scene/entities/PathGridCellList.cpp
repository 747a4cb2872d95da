#include "scene/entities/PathGridCellList.h"

#include <emmintrin.h>

#include <cstring>

namespace
{
// Slot by slot, an inline list's edits take each slot's entry or its neighbour's, chosen by a mask
// rather than a branch: which slots shift depends on where the entity falls among the others,
// which no branch predicts.
__m128i LoadEntry(const PathGridEntry& entry)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(&entry));
}

void StoreEntry(PathGridEntry& entry, __m128i value)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&entry), value);
}

__m128i Select(__m128i mask, __m128i chosen, __m128i other)
{
    return _mm_or_si128(_mm_and_si128(mask, chosen), _mm_andnot_si128(mask, other));
}

__m128i MaskOf(bool condition)
{
    return _mm_set1_epi32(-int32_t(condition));
}
} // namespace

static_assert(sizeof(PathGridEntry) == 16, "an entry is one 16-byte lane");

int32_t PathGridCellList::LowerBound(uint32_t index) const
{
    if (m_block == nullptr)
    {
        // The entries are sorted: those below `index` are the ones before it.
        int32_t at = 0;
        for (int32_t i = 0; i < kInline; ++i)
            at += int32_t(i < m_count) & int32_t(m_inline[i].index < index);
        return at;
    }
    int32_t low = 0;
    int32_t high = m_count;
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (m_block[middle].index < index)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void PathGridCellList::InsertAt(int32_t at, const PathGridEntry& entry)
{
    assert(at >= 0 && at <= m_count);
    if (m_block == nullptr && m_count < kInline)
    {
        // Every slot past `at` takes its left neighbour's entry, from the last slot down.
        for (int32_t i = kInline - 1; i > 0; --i)
            StoreEntry(m_inline[i], Select(MaskOf(i > at), LoadEntry(m_inline[i - 1]), LoadEntry(m_inline[i])));
        m_inline[at] = entry;
        ++m_count;
        return;
    }
    const int32_t capacity = m_block != nullptr ? m_blockCapacity : kInline;
    if (m_count == capacity)
    {
        // Spilled, or grown: every entry moves to a block twice as large, so the list stays one row.
        const int32_t grown = capacity * 2;
        PathGridEntry* const block = new PathGridEntry[size_t(grown)];
        std::memcpy(block, Data(), size_t(m_count) * sizeof(PathGridEntry));
        delete[] m_block;
        m_block = block;
        m_blockCapacity = grown;
    }
    // Past the inline room, or spilled before: the entries are in the block now.
    std::memmove(m_block + at + 1, m_block + at, size_t(m_count - at) * sizeof(PathGridEntry));
    m_block[at] = entry;
    ++m_count;
}

void PathGridCellList::RemoveAt(int32_t at)
{
    assert(at >= 0 && at < m_count);
    if (m_block == nullptr)
    {
        // Every slot from `at` on takes its right neighbour's entry, from `at` up.
        for (int32_t i = 0; i < kInline - 1; ++i)
            StoreEntry(m_inline[i], Select(MaskOf(i >= at), LoadEntry(m_inline[i + 1]), LoadEntry(m_inline[i])));
        --m_count;
        return;
    }
    std::memmove(m_block + at, m_block + at + 1, size_t(m_count - at - 1) * sizeof(PathGridEntry));
    --m_count;
}
