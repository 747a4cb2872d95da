// NearEntitiesGatherer: a script-owned list of the entities near a point or inside a box, gathered
// from the entity manager's grid. Results are safe pointers, in walk order (not sorted), so they
// survive the entities' deletion as null entries. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/BoundingBox4.h"
#include "core/math/OBBox4.h"

#include <cstdint>

class Entity;

// Gathers entities by type mask and region; every Init form clears the previous result first.
class NearEntitiesGatherer
{
public:
    NearEntitiesGatherer() = default;
    NearEntitiesGatherer(const NearEntitiesGatherer&) = delete;
    NearEntitiesGatherer& operator=(const NearEntitiesGatherer&) = delete;

    // Entities whose position lies within `radius` of the point on x and z (any height).
    void Init(uint32_t mask, const Vector& point, float radius);
    // Entities whose oriented box comes within `range` of the point on x and z.
    void InitWithEntitiesWhoesOBBIsWithinRange(uint32_t mask, const Vector& point, float range);
    // The same measured in 3D, with and without a type mask.
    void InitWithEntitiesWhoesOBBIsWithinRange3D(uint32_t mask, const Vector& point, float range);
    void InitWithAllEntitiesWhoesOBBIsWithinRange3D(const Vector& point, float range);
    // Entities whose position lies inside the box (boundary included).
    void Init(uint32_t mask, const BoundingBox4& box);
    void InitInOrientedBox(uint32_t mask, const OBBox4& box);
    // The box spanned by two opposite corners, in any order.
    void Init(uint32_t mask, const Vector& cornerA, const Vector& cornerB);

    int32_t GetEntitiesCount() const { return m_entities.Count(); }
    // Null for an index out of range or an entity deleted since the gather.
    Entity* GetEntity(int32_t index) const;
    const SafePointerArray<Entity>& GetEntities() const { return m_entities; }

private:
    void GatherNearOrientedBoxes(uint32_t mask, bool useMask, const Vector& point, float range, bool horizontal);

    SafePointerArray<Entity> m_entities;
};
