#include "scene/entities/PathGrid.h"

#include <cmath>
#include <limits>

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

// Position of the first entry whose index is not below `index`.
int32_t LowerBound(const Dynarray<PathGridEntry>& list, uint32_t index)
{
    int32_t low = 0;
    int32_t high = list.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (list[middle].index < index)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
} // namespace

bool PathGrid::IsBoundedBox(const BoundingBox4& box)
{
    return IsBounded(box.min) && IsBounded(box.max);
}

PathGrid::~PathGrid()
{
    Clear();
}

void PathGrid::Clear()
{
    // Entities that still sit in the cells must not keep ranges into cells that are gone.
    for (Cell& cell : m_cells)
        for (int list = 0; list < 2; ++list)
            for (const PathGridEntry& entry : cell.lists[list])
                entry.entity->CellRangeForGrid(list) = Entity::CellRange();
    m_cells.FreeStorage();
    m_countX = 0;
    m_countZ = 0;
}

void PathGrid::Build(const BoundingBox4& bounds, float cellSize)
{
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
    m_cells.Resize(int32_t(m_countX * m_countZ));
    for (uint32_t z = 0; z < m_countZ; ++z)
        for (uint32_t x = 0; x < m_countX; ++x)
        {
            Cell& cell = m_cells[int32_t(z * m_countX + x)];
            cell.box.min.Set(bounds.min.x + float(x) * cellSize, bounds.min.y, bounds.min.z + float(z) * cellSize, 1.0f);
            cell.box.max.Set(cell.box.min.x + cellSize, bounds.max.y, cell.box.min.z + cellSize, 1.0f);
        }
}

void PathGrid::SetHeightRange(float minY, float maxY)
{
    m_bounds.min.y = minY;
    m_bounds.max.y = maxY;
    for (Cell& cell : m_cells)
    {
        cell.box.min.y = minY;
        cell.box.max.y = maxY;
    }
}

Entity::CellRange PathGrid::ComputeRange(const BoundingBox4& box) const
{
    Entity::CellRange range;
    if (m_cells.IsEmpty() || !box.IsValid3() || !IsBoundedBox(box))
        return range;
    const int32_t lastX = int32_t(m_countX) - 1;
    const int32_t lastZ = int32_t(m_countZ) - 1;
    range.x0 = ClampedFloor((box.min.x - m_bounds.min.x) * m_inverseCellSize, 0, lastX);
    range.z0 = ClampedFloor((box.min.z - m_bounds.min.z) * m_inverseCellSize, 0, lastZ);
    range.x1 = ClampedFloor((box.max.x - m_bounds.min.x) * m_inverseCellSize, 0, lastX) + 1;
    range.z1 = ClampedFloor((box.max.z - m_bounds.min.z) * m_inverseCellSize, 0, lastZ) + 1;
    return range;
}

void PathGrid::Insert(Dynarray<PathGridEntry>& list, Entity* entity)
{
    const int32_t at = LowerBound(list, entity->GetIndex());
    list.Insert({entity->GetIndex(), entity->GetTemplateTypeId(), entity}, at);
}

void PathGrid::Erase(Dynarray<PathGridEntry>& list, const Entity* entity)
{
    const int32_t at = LowerBound(list, entity->GetIndex());
    if (at < list.Count() && list[at].entity == entity)
        list.RemoveAt(at);
}

void PathGrid::MoveEntity(Entity* entity, int list, const Entity::CellRange& range)
{
    Entity::CellRange& old = entity->CellRangeForGrid(list);
    // An entity without an index has no place in index-sorted lists or index-keyed visited maps.
    const Entity::CellRange target = entity->GetIndex() < kMaxEntities ? range : Entity::CellRange();
    if (old == target)
        return;
    if (!old.IsNone())
        for (int32_t z = old.z0; z < old.z1; ++z)
            for (int32_t x = old.x0; x < old.x1; ++x)
                if (target.IsNone() || x < target.x0 || x >= target.x1 || z < target.z0 || z >= target.z1)
                    Erase(CellAt(x, z).lists[list], entity);
    if (!target.IsNone())
        for (int32_t z = target.z0; z < target.z1; ++z)
            for (int32_t x = target.x0; x < target.x1; ++x)
                if (old.IsNone() || x < old.x0 || x >= old.x1 || z < old.z0 || z >= old.z1)
                    Insert(CellAt(x, z).lists[list], entity);
    old = target;
}

void PathGrid::RemoveEntity(Entity* entity)
{
    MoveEntity(entity, kQueryList, Entity::CellRange());
    MoveEntity(entity, kRenderList, Entity::CellRange());
}
