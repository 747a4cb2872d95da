// The entity manager's spatial grid: square cells over the scene's x/z extent, each with two entry
// lists sorted by entity index: the query list (spatial queries) and the render-candidate list (the
// culling pass), each holding its first entries inside the cell (PathGridCellList.h). Both lists
// take an entity's world box to the same cells: the entity keeps that one range and the lists it is
// entered in, so a move touches only the cells that changed, and edits both lists of a cell in one
// visit. The segment walk of line-of-sight tests reads the query lists. Main thread only; the
// segment walk is not re-entrant (its visited set is shared).
#pragma once

#include "core/math/BoundingBox4.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/PathGridCellList.h"

#include <emmintrin.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <span>

// One entity a segment enters, at `fraction` of the segment (0 at its start, 1 at its end). The
// entity field is pointer-sized here (a 16-byte record).
struct PathGridSegmentHit
{
    Entity* entity;
    float fraction;
};

// Grid of cells with the two entity lists.
class PathGrid
{
public:
    static constexpr int kQueryList = 0;
    static constexpr int kRenderList = 1;

    // Four cache lines: the box and the query list's head in the first, the render list's head in
    // the third, the inline entries around them.
    struct alignas(64) Cell
    {
        BoundingBox4 box;
        PathGridCellList lists[2];
    };
    static_assert(sizeof(Cell) == 256, "a cell is four cache lines");

    PathGrid();
    ~PathGrid();
    PathGrid(const PathGrid&) = delete;
    PathGrid& operator=(const PathGrid&) = delete;

    // Replaces the cells: floor(extent / cell size + 0.5) along x and z, none when either is 0.
    // Entities still entered in the old cells lose their ranges (they re-enter on their next move).
    void Build(const BoundingBox4& bounds, float cellSize);
    // The y range of the grid and of every cell.
    void SetHeightRange(float minY, float maxY);

    // False for a box with a non-finite corner or one at the edge of the float range (unbounded).
    static bool IsBoundedBox(const BoundingBox4& box);
    // A box that places its owner in the world: not empty (max at or above min on x, y and z) and
    // bounded, as IsBoundedBox says; false for any NaN.
    static bool IsValidBoundedBox(const BoundingBox4& box)
    {
        const __m128 low = box.min.Simd();
        const __m128 high = box.max.Simd();
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
        const __m128 limit = _mm_set1_ps(std::numeric_limits<float>::max());
        const __m128 bounded = _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(low, magnitude), limit),
                                          _mm_cmplt_ps(_mm_and_ps(high, magnitude), limit));
        return (_mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(high, low), bounded)) & 7) == 7;
    }
    // The cell range under a world box; none for an empty or non-finite box or an empty grid.
    Entity::CellRange ComputeRange(const BoundingBox4& worldBox) const;
    // The same as four lanes in the range's order (x0, z0, x1, z1), -1 in each for none.
    __m128i ComputeRangeLanes(const BoundingBox4& worldBox) const
    {
        if (m_cells == nullptr || !IsValidBoundedBox(worldBox))
            return _mm_set1_epi32(-1);
        // Clamped to the grid before the cut, which within [0, last] is the floor; a NaN goes to
        // 0 (the maximum gives its second operand then), as a floor below the grid would.
        const __m128 clamped = _mm_min_ps(_mm_max_ps(CellCoordinates(worldBox), _mm_setzero_ps()), m_rangeLast.Simd());
        // The ends are exclusive: one past the last cell cut.
        return _mm_add_epi32(_mm_cvttps_epi32(clamped), _mm_set_epi32(1, 1, 0, 0));
    }
    // Moves the entity's entries from the cells and lists it is entered in to the cells of `range`
    // in each list whose bit (1 << list) `lists` holds, and out of the other list. An entity
    // without an index, an empty range or no list leaves the grid.
    void PlaceEntity(Entity* entity, const Entity::CellRange& range, uint8_t lists);
    // Takes the entity out of every cell of both lists: it may die next.
    void RemoveEntity(Entity* entity) { PlaceEntity(entity, Entity::CellRange(), 0); }
    // Empties every cell without reading the entities listed: their ranges are left as they were,
    // for the caller to forget (the scene's teardown, EntityManager::ForgetSceneEntries).
    void DropEntries();

    // Walks the cells the segment crosses on x/z, from its start cell towards its end cell (stopping
    // at the grid's edge), and records each query-list entity whose box the segment enters, once,
    // up to `capacity` records (in no particular order). Returns the records written; 0 (logged)
    // when the start lies outside the grid or an end point is not finite.
    int32_t CheckLineOfSight(const Vector& start, const Vector& end, PathGridSegmentHit* hits, int32_t capacity);

    uint32_t GetCountX() const { return m_countX; }
    uint32_t GetCountZ() const { return m_countZ; }
    float GetCellSize() const { return m_cellSize; }
    const BoundingBox4& GetBounds() const { return m_bounds; }
    const Cell& GetCell(uint32_t x, uint32_t z) const { return m_cells[size_t(z) * m_countX + x]; }
    bool IsEmpty() const { return m_cells == nullptr; }

private:
    // The cells' block: on large pages when it is large, since a move across cells lands on cells
    // far apart, each otherwise on a page the address translation cache has long forgotten.
    struct CellsDeleter
    {
        uint32_t count;
        void operator()(Cell* cells) const;
    };
    static std::unique_ptr<Cell[], CellsDeleter> AllocateCells(uint32_t count);
    Cell& CellAt(int32_t x, int32_t z) { return m_cells[int32_t(z) * int32_t(m_countX) + x]; }
    std::span<Cell> Cells() { return {m_cells.get(), m_cellCount}; }
    // Calls edit(cell, entering) for each cell that a move from `from` to `to` changes: first the
    // cells left (entering false), then the cells entered, each row by row.
    template <typename Edit>
    void ForEachEditedCell(const Entity::CellRange& from, const Entity::CellRange& to, Edit&& edit);
    // The list edits of a move from `from` to `to` in the lists whose bits `lists` holds, the
    // entity's entries typed `typeId`.
    void EditCells(Entity* entity, uint32_t typeId, uint8_t lists, const Entity::CellRange& from,
                   const Entity::CellRange& to);
    // The box's x and z of both corners (min.x, min.z, max.x, max.z) in cells from the grid's
    // corner: what the range cuts.
    __m128 CellCoordinates(const BoundingBox4& worldBox) const
    {
        const __m128 corners = _mm_shuffle_ps(worldBox.min.Simd(), worldBox.max.Simd(), _MM_SHUFFLE(2, 0, 2, 0));
        return _mm_mul_ps(_mm_sub_ps(corners, m_rangeOrigin.Simd()), _mm_set1_ps(m_inverseCellSize));
    }
    // `cells` for a list whose bit `lists` holds, none for the other.
    static Entity::CellRange ListRange(const Entity::CellRange& cells, uint8_t lists, int list);
    void Insert(PathGridCellList& list, Entity* entity, uint32_t typeId);
    void Erase(PathGridCellList& list, const Entity* entity);
    void Clear();
    void EmptyLists();
    // Tests the not yet visited entities of one cell against the segment.
    void TestCellForSegment(const Cell& cell, const Vector& start, const Vector& end, const Vector& direction,
                            float length, PathGridSegmentHit* hits, int32_t capacity, int32_t& count);

    BoundingBox4 m_bounds;
    float m_cellSize = 0.0f;
    float m_inverseCellSize = 0.0f;
    // What ComputeRange takes from the grid, laid out as its four lanes (min x, min z, max x, max z
    // of a box): the grid's corner, and the last cell on each axis.
    Vector m_rangeOrigin;
    Vector m_rangeLast;
    uint32_t m_countX = 0;
    uint32_t m_countZ = 0;
    std::unique_ptr<Cell[], CellsDeleter> m_cells{nullptr, CellsDeleter{0}};
    uint32_t m_cellCount = 0;
    // Entries in all the cells' lists together: a grid with none needs no walk to be emptied.
    uint32_t m_entryCount = 0;
    // One bit per entity index: an entity spanning many cells is tested once per walk.
    uint64_t m_visited[kMaxEntities / 64] = {};
};
