// The walk that every spatial query shares: the query-list entries of the grid cells under a
// region's x/z extent, row by row and in cell order, each entity met once through a map of entity
// indices. Main thread only (the scratch map is one shared buffer).
#pragma once

#include "core/math/BoundingBox4.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/PathGrid.h"

#include <bitset>
#include <cstdint>

// One bit per entity index (every live entity in the grid has an index below kMaxEntities).
class EntityIndexMap
{
public:
    void Clear() { m_bits.reset(); }
    bool Test(uint32_t index) const { return index < kMaxEntities && m_bits.test(index); }
    void Set(uint32_t index)
    {
        if (index < kMaxEntities)
            m_bits.set(index);
    }

    // A map for one query at a time on the main thread, cleared by the caller.
    static EntityIndexMap& Scratch();

private:
    std::bitset<kMaxEntities> m_bits;
};

namespace SpatialQueryWalk
{
// Calls visit(entity) for every entity of the cells under `region` whose type bits meet `mask`
// (any entity when `useMask` is false) and that `visited` does not hold yet, marking it first.
template <typename Visit>
void ForEachCandidate(const PathGrid& grid, const BoundingBox4& region, uint32_t mask, bool useMask,
                      EntityIndexMap& visited, Visit&& visit)
{
    const Entity::CellRange range = grid.ComputeRange(region);
    if (range.IsNone())
        return;
    for (int32_t z = range.z0; z < range.z1; ++z)
        for (int32_t x = range.x0; x < range.x1; ++x)
            for (const PathGridEntry& entry : grid.GetCell(uint32_t(x), uint32_t(z)).lists[PathGrid::kQueryList])
            {
                if ((useMask && (entry.entity->GetTypeBits() & mask) == 0) || visited.Test(entry.index))
                    continue;
                visited.Set(entry.index);
                visit(entry.entity);
            }
}

// The box point ± extent on every axis.
inline BoundingBox4 AroundPoint(const Vector& point, float extent)
{
    return BoundingBox4(Vector(point.x - extent, point.y - extent, point.z - extent, 1.0f),
                        Vector(point.x + extent, point.y + extent, point.z + extent, 1.0f));
}
} // namespace SpatialQueryWalk
