// TriggerEntity: a region that knows which entities are inside it. The inside list and its upkeep
// live here; the shape tests, the enter and exit reports and occupancy processing come with the
// trigger kind's own work. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "scene/entities/Entity.h"

#include <cstdint>

// A trigger entity with its inside list (entities sorted by address, with a report count).
class TriggerEntity : public Entity
{
    RTTI_DECLARE_CLASS(TriggerEntity, Entity)

public:
    struct Occupant
    {
        Entity* entity;
        uint32_t count;
    };

    TriggerEntity();

    bool IsActive() const { return m_active; }
    const Dynarray<Occupant>& GetInsideList() const { return m_inside; }
    // Adds the entity with count 1, or raises its count; returns the new count.
    uint32_t AddToInsideList(Entity* entity);
    // Takes the entity out whatever its count; false when it was not listed.
    bool RemoveFromInsideList(const Entity* entity);
    // The highest trigger reached from this one's parent while parents are triggers (this one at the top).
    TriggerEntity* GetTopTrigger();
    // The entity as a trigger: of the trigger kind and made as one; else null.
    static TriggerEntity* AsTrigger(Entity* entity);

private:
    int32_t FindOccupant(const Entity* entity) const;

    Dynarray<Occupant> m_inside;
    float m_queryMargin = 0.0f;
    bool m_active = true;
    std::string m_customUserData;
};
