#include "scene/entities/PathGrid.h"

#include "core/console/GameConsole.h"
#include "core/memory/AlignedMemory.h"
#include "platform/os/Heap.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace
{
// floor(value) clamped to [low, high]; the clamp happens on the float, since converting a float
// outside the int range (or a NaN) is undefined.
int32_t ClampedFloor(float value, int32_t low, int32_t high)
{
    const float floored = std::floor(value);
    if (!(floored >= float(low)))
        return low;
    if (floored >= float(high))
        return high;
    return int32_t(floored);
}

// Finite and short of the float range: the unbounded box is made of the largest floats.
bool IsBounded(const Vector& v)
{
    constexpr float kLimit = std::numeric_limits<float>::max();
    return std::fabs(v.x) < kLimit && std::fabs(v.y) < kLimit && std::fabs(v.z) < kLimit;
}

bool IsFinite3(const Vector& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
} // namespace

void PathGrid::CellsDeleter::operator()(Cell* cells) const
{
    std::destroy_n(cells, count);
    memory::FreeAligned(cells);
}

std::unique_ptr<PathGrid::Cell[], PathGrid::CellsDeleter> PathGrid::AllocateCells(uint32_t count)
{
    // From a large page's worth on, the block is whole large pages; smaller grids (tests, small
    // scenes) would spend more memory than the few pages they span cost.
    constexpr size_t kLargePage = size_t(2) << 20;
    size_t bytes = size_t(count) * sizeof(Cell);
    size_t alignment = alignof(Cell);
    if (bytes >= kLargePage)
    {
        bytes = (bytes + kLargePage - 1) / kLargePage * kLargePage;
        alignment = kLargePage;
    }
    Cell* const cells = static_cast<Cell*>(memory::AllocateAligned(bytes, alignment));
    if (alignment == kLargePage)
        os::AdviseLargePages(cells, bytes);
    std::uninitialized_default_construct_n(cells, count);
    return std::unique_ptr<Cell[], CellsDeleter>(cells, CellsDeleter{count});
}

bool PathGrid::IsBoundedBox(const BoundingBox4& box)
{
    return IsBounded(box.min) && IsBounded(box.max);
}

PathGrid::PathGrid() = default;

PathGrid::~PathGrid()
{
    Clear();
}

void PathGrid::EmptyLists()
{
    // An empty grid (a new scene made over one just emptied) has no cell to walk.
    if (m_entryCount == 0)
        return;
    m_entryCount = 0;
    // Entities that still sit in the cells must not keep ranges into cells that are gone.
    for (Cell& cell : Cells())
        for (int list = 0; list < 2; ++list)
        {
            for (const PathGridEntry& entry : cell.lists[list])
                entry.entity->SetEnteredCells(Entity::CellRange(), 0);
            cell.lists[list].Clear();
        }
}

void PathGrid::DropEntries()
{
    if (m_entryCount == 0)
        return;
    m_entryCount = 0;
    for (Cell& cell : Cells())
        for (int list = 0; list < 2; ++list)
            cell.lists[list].Clear();
}

void PathGrid::Clear()
{
    EmptyLists();
    m_cells.reset();
    m_cellCount = 0;
    m_countX = 0;
    m_countZ = 0;
}

void PathGrid::Build(const BoundingBox4& bounds, float cellSize)
{
    // A new scene over the same bounds keeps the cells and the lists' memory: each list grows
    // again entry by entry as the next scene loads.
    if (m_cells != nullptr && cellSize == m_cellSize && bounds == m_bounds)
    {
        EmptyLists();
        return;
    }
    Clear();
    m_bounds = bounds;
    m_cellSize = cellSize;
    m_inverseCellSize = cellSize > 0.0f ? 1.0f / cellSize : 0.0f;
    if (!(cellSize > 0.0f) || !bounds.IsValid3() || !IsBoundedBox(bounds))
        return;
    const float countX = std::floor((bounds.max.x - bounds.min.x) / cellSize + 0.5f);
    const float countZ = std::floor((bounds.max.z - bounds.min.z) / cellSize + 0.5f);
    // A grid too large to index is refused rather than allocated (and cut at the int range).
    if (!(countX >= 1.0f) || !(countZ >= 1.0f) || countX * countZ > float(1 << 24))
        return;
    m_countX = uint32_t(countX);
    m_countZ = uint32_t(countZ);
    m_rangeOrigin.Set(bounds.min.x, bounds.min.z, bounds.min.x, bounds.min.z);
    m_rangeLast.Set(float(m_countX - 1), float(m_countZ - 1), float(m_countX - 1), float(m_countZ - 1));
    m_cellCount = m_countX * m_countZ;
    m_cells = AllocateCells(m_cellCount);
    for (uint32_t z = 0; z < m_countZ; ++z)
        for (uint32_t x = 0; x < m_countX; ++x)
        {
            Cell& cell = m_cells[z * m_countX + x];
            cell.box.min.Set(bounds.min.x + float(x) * cellSize, bounds.min.y, bounds.min.z + float(z) * cellSize, 1.0f);
            cell.box.max.Set(cell.box.min.x + cellSize, bounds.max.y, cell.box.min.z + cellSize, 1.0f);
        }
}

void PathGrid::SetHeightRange(float minY, float maxY)
{
    // Every scene load sets the range its root stores, mostly the one the cells already have:
    // touching each cell again would cost a cache miss apiece.
    if (m_bounds.min.y == minY && m_bounds.max.y == maxY)
        return;
    m_bounds.min.y = minY;
    m_bounds.max.y = maxY;
    for (Cell& cell : Cells())
    {
        cell.box.min.y = minY;
        cell.box.max.y = maxY;
    }
}

Entity::CellRange PathGrid::ListRange(const Entity::CellRange& cells, uint8_t lists, int list)
{
    return (lists & (1u << list)) != 0 ? cells : Entity::CellRange();
}

Entity::CellRange PathGrid::ComputeRange(const BoundingBox4& box) const
{
    static_assert(sizeof(Entity::CellRange) == sizeof(__m128i), "a range is the four lanes");
    Entity::CellRange range;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&range), ComputeRangeLanes(box));
    return range;
}

void PathGrid::Insert(PathGridCellList& list, Entity* entity, uint32_t typeId)
{
    list.InsertAt(list.LowerBound(entity->GetIndex()), {entity->GetIndex(), typeId, entity});
    ++m_entryCount;
}

void PathGrid::Erase(PathGridCellList& list, const Entity* entity)
{
    const int32_t at = list.LowerBound(entity->GetIndex());
    if (at < list.Count() && list[at].entity == entity)
    {
        list.RemoveAt(at);
        --m_entryCount;
    }
}

template <typename Edit>
void PathGrid::ForEachEditedCell(const Entity::CellRange& from, const Entity::CellRange& to, Edit&& edit)
{
    if (!from.IsNone())
        for (int32_t z = from.z0; z < from.z1; ++z)
            for (int32_t x = from.x0; x < from.x1; ++x)
                if (to.IsNone() || x < to.x0 || x >= to.x1 || z < to.z0 || z >= to.z1)
                    edit(CellAt(x, z), false);
    if (!to.IsNone())
        for (int32_t z = to.z0; z < to.z1; ++z)
            for (int32_t x = to.x0; x < to.x1; ++x)
                if (from.IsNone() || x < from.x0 || x >= from.x1 || z < from.z0 || z >= from.z1)
                    edit(CellAt(x, z), true);
}

void PathGrid::EditCells(Entity* entity, uint32_t typeId, uint8_t lists, const Entity::CellRange& from,
                         const Entity::CellRange& to)
{
    ForEachEditedCell(from, to, [this, entity, typeId, lists](Cell& cell, bool entering) {
        for (int list = 0; list < 2; ++list)
        {
            if ((lists & (1u << list)) == 0)
                continue;
            if (entering)
                Insert(cell.lists[list], entity, typeId);
            else
                Erase(cell.lists[list], entity);
        }
    });
}

void PathGrid::PlaceEntity(Entity* entity, const Entity::CellRange& range, uint8_t lists)
{
    // An entity without an index has no place in index-sorted lists or index-keyed visited maps.
    const bool placed = entity->GetIndex() < kMaxEntities && !range.IsNone() && lists != 0;
    const Entity::CellRange to = placed ? range : Entity::CellRange();
    const uint8_t toLists = placed ? lists : uint8_t(0);
    const Entity::CellRange from = entity->GetEnteredCells();
    const uint8_t fromLists = entity->GetEnteredLists();
    if (toLists == fromLists && to == from)
        return;
    const uint32_t typeId = entity->GetTemplateTypeId();
    if (toLists == fromLists)
    {
        // Mostly so: the entity keeps its lists and moves its cells, both lists' alike.
        EditCells(entity, typeId, toLists, from, to);
    }
    else
    {
        for (int list = 0; list < 2; ++list)
        {
            const uint8_t bit = uint8_t(1u << list);
            const Entity::CellRange listFrom = ListRange(from, fromLists, list);
            const Entity::CellRange listTo = ListRange(to, toLists, list);
            if (!(listFrom == listTo))
                EditCells(entity, typeId, bit, listFrom, listTo);
        }
    }
    entity->SetEnteredCells(to, toLists);
}

void PathGrid::TestCellForSegment(const Cell& cell, const Vector& start, const Vector& end, const Vector& direction,
                                  float length, PathGridSegmentHit* hits, int32_t capacity, int32_t& count)
{
    for (const PathGridEntry& entry : cell.lists[kQueryList])
    {
        uint64_t& word = m_visited[entry.index / 64];
        const uint64_t bit = uint64_t(1) << (entry.index % 64);
        if ((word & bit) != 0)
            continue;
        // Marked even past the capacity, so that no entity is ever tested twice in one walk.
        word |= bit;
        if (count >= capacity)
            continue;
        Entity* entity = entry.entity;
        const Matrix& inverse = entity->GetInversedGlobalLocationMatrix();
        Vector localStart = start;
        localStart.Transform3D(inverse);
        Vector localEnd = end;
        localEnd.Transform3D(inverse);
        Vector hit;
        if (!entity->GetLocalBoundingBox().CollidesWithSegment3D(localStart, localEnd, hit))
            continue;
        hit.Transform3D(entity->GetGlobalLocationMatrix());
        Vector offset;
        offset.Sub(hit, start);
        // A zero-length segment can only be entered at its start.
        const float fraction = length > 0.0f ? offset.Dot3(direction) / length : 0.0f;
        hits[count++] = {entity, fraction};
    }
}

int32_t PathGrid::CheckLineOfSight(const Vector& start, const Vector& end, PathGridSegmentHit* hits, int32_t capacity)
{
    const int32_t countX = int32_t(m_countX);
    const int32_t countZ = int32_t(m_countZ);
    // Cell indices are clamped one past each side of the grid: enough to tell inside from outside
    // and to keep the direction of the walk, without converting an out-of-range float.
    const auto cellX = [&](float x) { return ClampedFloor((x - m_bounds.min.x) / m_cellSize, -1, countX); };
    const auto cellZ = [&](float z) { return ClampedFloor((z - m_bounds.min.z) / m_cellSize, -1, countZ); };
    int32_t cx = m_cells == nullptr ? -1 : cellX(start.x);
    int32_t cz = m_cells == nullptr ? -1 : cellZ(start.z);
    if (!IsFinite3(start) || cx < 0 || cx >= countX || cz < 0 || cz >= countZ)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "LOS check must begin in a point within the scene bounds");
        return 0;
    }
    if (!IsFinite3(end))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "LOS check must end in a finite point");
        return 0;
    }
    std::memset(m_visited, 0, sizeof(m_visited));
    Vector delta;
    delta.Sub(end, start);
    const float length = std::sqrt(delta.x * delta.x + delta.y * delta.y + delta.z * delta.z);
    // Start == end leaves the direction zero rather than dividing by the zero length.
    Vector direction(0.0f, 0.0f, 0.0f, 0.0f);
    if (length > 0.0f)
        direction.Set(delta.x / length, delta.y / length, delta.z / length, 0.0f);
    const int32_t ex = cellX(end.x);
    const int32_t ez = cellZ(end.z);
    const int32_t stepX = ex > cx ? 1 : -1;
    const int32_t stepZ = ez > cz ? 1 : -1;
    int32_t count = 0;
    // Each step moves one cell nearer the end cell, so the walk ends after at most |ex - sx| +
    // |ez - sz| steps whatever rounding does at cell corners. Crossings are measured from the start
    // point, so no error builds up along a long walk.
    for (;;)
    {
        TestCellForSegment(m_cells[cz * countX + cx], start, end, direction, length, hits, capacity, count);
        if (cx == ex && cz == ez)
            break;
        float alongX = std::numeric_limits<float>::infinity();
        float alongZ = std::numeric_limits<float>::infinity();
        if (cx != ex && direction.x != 0.0f)
        {
            const float edge = m_bounds.min.x + float(stepX > 0 ? cx + 1 : cx) * m_cellSize;
            alongX = (edge - start.x) / direction.x;
        }
        if (cz != ez && direction.z != 0.0f)
        {
            const float edge = m_bounds.min.z + float(stepZ > 0 ? cz + 1 : cz) * m_cellSize;
            alongZ = (edge - start.z) / direction.z;
        }
        // The x crossing wins ties; a column or row already reached leaves only the other axis.
        if (cz == ez || (cx != ex && alongX <= alongZ))
            cx += stepX;
        else
            cz += stepZ;
        if (cx < 0 || cx >= countX || cz < 0 || cz >= countZ)
            break;
    }
    return count;
}
