#include "scene/entities/NearEntitiesGatherer.h"

#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/SpatialQueryWalk.h"

#include <algorithm>

namespace
{
template <typename Test>
void Gather(SafePointerArray<Entity>& out, const BoundingBox4& region, uint32_t mask, bool useMask, Test&& test)
{
    out.Clear();
    EntityIndexMap& visited = EntityIndexMap::Scratch();
    visited.Clear();
    SpatialQueryWalk::ForEachCandidate(gEntityManager.GetPathGrid(), region, mask, useMask, visited,
                                       [&](Entity* entity) {
                                           if (test(entity))
                                               out.Add(SafePointer<Entity>(entity));
                                       });
}
} // namespace

void NearEntitiesGatherer::Init(uint32_t mask, const Vector& point, float radius)
{
    const float radius2 = radius * radius;
    Gather(m_entities, SpatialQueryWalk::AroundPoint(point, radius), mask, true,
           [&](Entity* entity) { return entity->GetGlobalPosition().Distance2XZ(point) <= radius2; });
}

void NearEntitiesGatherer::GatherNearOrientedBoxes(uint32_t mask, bool useMask, const Vector& point, float range,
                                                   bool horizontal)
{
    const float range2 = range * range;
    Gather(m_entities, SpatialQueryWalk::AroundPoint(point, range), mask, useMask, [&](Entity* entity) {
        OBBox4 box;
        box.Transform3D(entity->GetLocalBoundingBox(), entity->GetGlobalLocationMatrix());
        Vector closest;
        box.GetClosestPoint(point, closest);
        return (horizontal ? closest.Distance2XZ(point) : closest.Distance2(point)) <= range2;
    });
}

void NearEntitiesGatherer::InitWithEntitiesWhoesOBBIsWithinRange(uint32_t mask, const Vector& point, float range)
{
    GatherNearOrientedBoxes(mask, true, point, range, true);
}

void NearEntitiesGatherer::InitWithEntitiesWhoesOBBIsWithinRange3D(uint32_t mask, const Vector& point, float range)
{
    GatherNearOrientedBoxes(mask, true, point, range, false);
}

void NearEntitiesGatherer::InitWithAllEntitiesWhoesOBBIsWithinRange3D(const Vector& point, float range)
{
    GatherNearOrientedBoxes(0, false, point, range, false);
}

void NearEntitiesGatherer::Init(uint32_t mask, const BoundingBox4& box)
{
    Gather(m_entities, box, mask, true, [&](Entity* entity) { return box.Inside3D(entity->GetGlobalPosition()); });
}

void NearEntitiesGatherer::InitInOrientedBox(uint32_t mask, const OBBox4& box)
{
    BoundingBox4 extent;
    extent.Transform3D(box);
    Gather(m_entities, extent, mask, true, [&](Entity* entity) { return box.Inside3D(entity->GetGlobalPosition()); });
}

void NearEntitiesGatherer::Init(uint32_t mask, const Vector& cornerA, const Vector& cornerB)
{
    const BoundingBox4 box(Vector(std::min(cornerA.x, cornerB.x), std::min(cornerA.y, cornerB.y),
                                  std::min(cornerA.z, cornerB.z), 1.0f),
                           Vector(std::max(cornerA.x, cornerB.x), std::max(cornerA.y, cornerB.y),
                                  std::max(cornerA.z, cornerB.z), 1.0f));
    Init(mask, box);
}

Entity* NearEntitiesGatherer::GetEntity(int32_t index) const
{
    return index >= 0 && index < m_entities.Count() ? m_entities[index].Get() : nullptr;
}
