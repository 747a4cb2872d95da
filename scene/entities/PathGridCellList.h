// One list of a grid cell: the entries of the entities listed there, sorted by entity index. The
// first kInline entries are held in the list itself, inside the cell, so that a move into or out of
// a cell that holds no more than that reads and writes only the cell's own lines, whose addresses
// follow from the cell's coordinates: they can be asked for before the edit, all at once, with no
// pointer to wait for on the way. A list that outgrows them moves all its entries to a block of its
// own and keeps it (a cell crowded once is likely crowded again) until the grid is rebuilt.
// Main thread only.
#pragma once

class Entity;

#include <cassert>
#include <cstdint>

// One entity in one cell list. The entity field is pointer-sized here (a 16-byte entry).
struct PathGridEntry
{
    uint32_t index;
    uint32_t typeId;
    Entity* entity;
};

class PathGridCellList
{
public:
    static constexpr int32_t kInline = 6;

    PathGridCellList() = default;
    ~PathGridCellList() { delete[] m_block; }
    PathGridCellList(const PathGridCellList&) = delete;
    PathGridCellList& operator=(const PathGridCellList&) = delete;

    int32_t Count() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    // Entries in a row, wherever they are held.
    const PathGridEntry* Data() const { return m_block != nullptr ? m_block : m_inline; }
    const PathGridEntry* begin() const { return Data(); }
    const PathGridEntry* end() const { return Data() + m_count; }
    const PathGridEntry& operator[](int32_t index) const
    {
        assert(index >= 0 && index < m_count);
        return Data()[index];
    }
    // Whether the entries have moved to a block of their own.
    bool IsSpilled() const { return m_block != nullptr; }

    // Position of the first entry whose index is not below `index` (Count() when none is).
    int32_t LowerBound(uint32_t index) const;
    // Inserts before position `at` (0 to Count()).
    void InsertAt(int32_t at, const PathGridEntry& entry);
    void RemoveAt(int32_t at);
    // Forgets the entries; a block the list spilled to is kept for the next ones.
    void Clear() { m_count = 0; }

private:
    PathGridEntry* m_block = nullptr;
    int32_t m_count = 0;
    // Entries m_block holds room for (0 while the list is inline).
    int32_t m_blockCapacity = 0;
    // Set from the start: the edits of an inline list read every slot, in use or not, rather than
    // branch on where the entries end.
    PathGridEntry m_inline[kInline] = {};
};

static_assert(sizeof(PathGridCellList) == 16 + PathGridCellList::kInline * sizeof(PathGridEntry),
              "the inline entries follow a 16-byte head");
