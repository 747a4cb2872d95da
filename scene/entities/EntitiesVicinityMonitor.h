// EntitiesVicinityMonitor: a script-owned watch over circles on the ground (x/z) that reports which
// entities of a type mask came inside and which left since the previous calculation. Main thread
// only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/Vector.h"
#include "scene/entities/SpatialQueryWalk.h"

#include <cstdint>

class Entity;

// Entered and left entities of a set of test circles, between calculations.
class EntitiesVicinityMonitor
{
public:
    EntitiesVicinityMonitor() = default;
    EntitiesVicinityMonitor(const EntitiesVicinityMonitor&) = delete;
    EntitiesVicinityMonitor& operator=(const EntitiesVicinityMonitor&) = delete;

    // Stores the mask and forgets everything else.
    void Init(uint32_t mask);
    // Forgets the test positions and every list, keeping the mask.
    void Reset();
    void AddTestPosition(const Vector& position, float radius);
    void CalculateEntitiesVicinityChange();

    uint32_t GetMask() const { return m_mask; }
    int32_t GetTestPositionsCount() const { return m_positions.Count(); }
    // Inside any circle at the last calculation (null entries for entities deleted since).
    const SafePointerArray<Entity>& GetCurrentEntities() const { return m_current; }
    // Valid until the next calculation.
    const Dynarray<Entity*>& GetEnteredEntities() const { return m_entered; }
    const Dynarray<Entity*>& GetLeftEntities() const { return m_left; }
    // Script access to the three lists: null past the end or for a deleted entity.
    int32_t GetCurrentEntitiesCount() const { return m_current.Count(); }
    Entity* GetCurrentEntity(int32_t index) const;
    int32_t GetEnteredEntitiesCount() const { return m_entered.Count(); }
    Entity* GetEnteredEntity(int32_t index) const;
    int32_t GetLeftEntitiesCount() const { return m_left.Count(); }
    Entity* GetLeftEntity(int32_t index) const;

private:
    struct TestPosition
    {
        Vector position;
        float radius;
        float radius2;
    };

    uint32_t m_mask = 0;
    Dynarray<TestPosition> m_positions;
    EntityIndexMap m_previousInside;
    SafePointerArray<Entity> m_current;
    Dynarray<Entity*> m_entered;
    Dynarray<Entity*> m_left;
};
