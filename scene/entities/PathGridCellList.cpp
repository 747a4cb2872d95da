#include "scene/entities/PathGridCellList.h"

#include <cstring>

void PathGridCellList::InsertAt(int32_t at, const PathGridEntry& entry)
{
    assert(at >= 0 && at <= m_count);
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
    PathGridEntry* const entries = m_block != nullptr ? m_block : m_inline;
    std::memmove(entries + at + 1, entries + at, size_t(m_count - at) * sizeof(PathGridEntry));
    entries[at] = entry;
    ++m_count;
}

void PathGridCellList::RemoveAt(int32_t at)
{
    assert(at >= 0 && at < m_count);
    PathGridEntry* const entries = m_block != nullptr ? m_block : m_inline;
    std::memmove(entries + at, entries + at + 1, size_t(m_count - at - 1) * sizeof(PathGridEntry));
    --m_count;
}
