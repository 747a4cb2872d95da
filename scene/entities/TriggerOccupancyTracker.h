// The trigger-occupancy tracker of an entity whose template activates triggers: the triggers that
// contain the entity, its trigger radius, and the pending list of entities waiting for an occupancy
// update. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

class Entity;
class TriggerEntity;

// Which triggers contain one entity.
class TriggerOccupancyTracker
{
public:
    // Queues the new tracker for its first update.
    explicit TriggerOccupancyTracker(Entity* owner);
    // Takes the owner out of the inside list of every trigger that still lists it (and of the
    // triggers above them that report for them): a trigger must never keep a pointer to a dead entity.
    ~TriggerOccupancyTracker();
    TriggerOccupancyTracker(const TriggerOccupancyTracker&) = delete;
    TriggerOccupancyTracker& operator=(const TriggerOccupancyTracker&) = delete;

    Entity* GetOwner() const { return m_owner; }
    float GetRadiusForTrigger() const { return m_radius; }
    void SetRadiusForTrigger(float radius);
    // The largest trigger radius any tracker was given: how far "Position with radius" triggers
    // look beyond their own box for entities that may touch them.
    static float GetLargestRadius();
    const SafePointerArray<TriggerEntity>& GetTriggers() const { return m_triggers; }
    void AddTrigger(TriggerEntity* trigger);
    bool HoldsTrigger(const TriggerEntity* trigger) const;
    void RemoveTrigger(const TriggerEntity* trigger);
    // Drops the entries of triggers that died.
    void DropDeadTriggers();

    // Queues the entity for an occupancy update, once (extra flag 1); ignored while disabled.
    static void QueueEntity(Entity* entity);
    static const SafePointerArray<Entity>& GetPendingList();
    // Hands the whole pending list over (the entities keep their queued flag) and leaves it empty,
    // so entities queued while the taken ones are processed wait for the next update.
    static void TakePendingList(SafePointerArray<Entity>& out);
    static void ClearPendingList();
    static void SetQueueingEnabled(bool enabled);

private:
    Entity* m_owner;
    float m_radius = 0.0f;
    SafePointerArray<TriggerEntity> m_triggers;
};
