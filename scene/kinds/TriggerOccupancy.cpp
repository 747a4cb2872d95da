#include "scene/kinds/TriggerOccupancy.h"

#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/PathGrid.h"
#include "scene/entities/TriggerOccupancyTracker.h"
#include "scene/kinds/TriggerEntity.h"
#include "scene/templates/TemplateTypeRegistry.h"

#include <cstring>

namespace
{
// The seen set of one tracker update: a stamp per entity index, so starting a new set is one
// increment instead of clearing 32768 bits.
class SeenSet
{
public:
    void Begin()
    {
        if (++m_stamp == 0)
        {
            std::memset(m_stamps, 0, sizeof(m_stamps));
            m_stamp = 1;
        }
    }
    // True when the index was not marked yet in this set (and marks it).
    bool Mark(uint32_t index)
    {
        if (index >= kMaxEntities || m_stamps[index] == m_stamp)
            return false;
        m_stamps[index] = m_stamp;
        return true;
    }

private:
    uint32_t m_stamps[kMaxEntities] = {};
    uint32_t m_stamp = 0;
};

SeenSet& Seen()
{
    static SeenSet* const set = new SeenSet;
    return *set;
}

bool gProcessing = false;

// Every trigger of the scene, held safely: the operations run reports that may change the scene.
void CollectTriggers(SafePointerArray<TriggerEntity>& out)
{
    for (Entity* const entity : gEntityManager.GetGUIDIndex())
        if (TriggerEntity* const trigger = TriggerEntity::AsTrigger(entity))
            out.Add(SafePointer<TriggerEntity>(trigger));
}
} // namespace

void TriggerOccupancy::ProcessPendingEntities()
{
    if (gProcessing)
        return;
    gProcessing = true;
    SafePointerArray<Entity> batch;
    TriggerOccupancyTracker::TakePendingList(batch);
    for (int32_t i = 0; i < batch.Count(); ++i)
    {
        Entity* const entity = batch[i].Get();
        if (entity == nullptr)
            continue;
        entity->SetExtraFlags(entity->GetExtraFlags() & ~uint32_t(ENTITYEXTRA_OCCUPANCY_QUEUED));
        UpdateTracker(entity);
    }
    gProcessing = false;
}

void TriggerOccupancy::ClearPendingEntities()
{
    TriggerOccupancyTracker::ClearPendingList();
}

void TriggerOccupancy::UpdateTracker(Entity* entity)
{
    TriggerOccupancyTracker* const tracker = entity != nullptr ? entity->GetOccupancyTracker() : nullptr;
    if (tracker == nullptr)
        return;
    const SafePointer<Entity> guard(entity);
    SeenSet& seen = Seen();
    seen.Begin();
    const bool disabled = entity->HasFlag(ENTITYFLAG_DISABLE_UPDATE);

    // The triggers that hold the entity: decide first, report afterwards, since a report may change
    // the tracker's list.
    SafePointerArray<TriggerEntity> leaving;
    const SafePointerArray<TriggerEntity>& held = tracker->GetTriggers();
    bool droppedDead = false;
    for (int32_t i = 0; i < held.Count(); ++i)
    {
        TriggerEntity* const trigger = held[i].Get();
        if (trigger == nullptr)
        {
            droppedDead = true;
            continue;
        }
        seen.Mark(trigger->GetIndex());
        if (!trigger->IsActive())
            continue;
        if (disabled || !trigger->IsInside(entity))
            leaving.Add(held[i]);
    }
    if (droppedDead)
        tracker->DropDeadTriggers();
    for (const SafePointer<TriggerEntity>& trigger : leaving)
        tracker->RemoveTrigger(trigger.Get());
    for (int32_t i = 0; i < leaving.Count(); ++i)
    {
        TriggerEntity* const trigger = leaving[i].Get();
        if (trigger != nullptr)
            trigger->Exit(entity);
        if (guard.Get() == nullptr)
            return;
    }
    if (entity->HasFlag(ENTITYFLAG_DISABLE_UPDATE))
        return;

    // Triggers in the grid cells under the entity (as far as its trigger radius reaches) that it
    // is not listed in yet.
    BoundingBox4 box = entity->GetWorldBoundingBox();
    if (!box.IsValid3())
        return;
    const float radius = tracker->GetRadiusForTrigger();
    if (radius > 0.0f)
    {
        box.min.Sub(Vector(radius, radius, radius, 0.0f));
        box.max.Add(Vector(radius, radius, radius, 0.0f));
    }
    PathGrid& grid = gEntityManager.GetPathGrid();
    const Entity::CellRange range = grid.ComputeRange(box);
    if (range.IsNone())
        return;
    SafePointerArray<TriggerEntity> entering;
    const TemplateTypeRegistry& types = TemplateTypeRegistry::GetInstance();
    for (int32_t z = range.z0; z < range.z1; ++z)
        for (int32_t x = range.x0; x < range.x1; ++x)
            for (const PathGridEntry& entry : grid.GetCell(uint32_t(x), uint32_t(z)).lists[PathGrid::kQueryList])
            {
                if (!types.IsKindOf(entry.typeId, ENTITY_TRIGGER) || !seen.Mark(entry.index))
                    continue;
                TriggerEntity* const trigger = TriggerEntity::AsTrigger(entry.entity);
                if (trigger != nullptr && trigger->IsActive() && trigger->IsInside(entity))
                    entering.Add(SafePointer<TriggerEntity>(trigger));
            }
    for (int32_t i = 0; i < entering.Count(); ++i)
    {
        TriggerEntity* const trigger = entering[i].Get();
        // A report before this one may have destroyed or switched off the trigger.
        if (trigger == nullptr || !trigger->IsActive() || tracker->HoldsTrigger(trigger))
            continue;
        tracker->AddTrigger(trigger);
        trigger->Enter(entity);
        if (guard.Get() == nullptr)
            break;
    }
}

void TriggerOccupancy::RecheckAllTriggers()
{
    SafePointerArray<TriggerEntity> triggers;
    CollectTriggers(triggers);
    for (const SafePointer<TriggerEntity>& trigger : triggers)
        if (trigger.Get() != nullptr)
            trigger->CheckInside();
}

void TriggerOccupancy::ClearAllTriggers()
{
    SafePointerArray<TriggerEntity> triggers;
    CollectTriggers(triggers);
    for (const SafePointer<TriggerEntity>& trigger : triggers)
        if (trigger.Get() != nullptr)
            trigger->ClearInsideList();
}
