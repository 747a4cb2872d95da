#include "scene/entities/TriggerOccupancyTracker.h"

#include "scene/entities/Entity.h"
#include "scene/kinds/TriggerEntity.h"

namespace
{
SafePointerArray<Entity>& PendingList()
{
    static SafePointerArray<Entity> list;
    return list;
}

bool gQueueingEnabled = true;
} // namespace

TriggerOccupancyTracker::TriggerOccupancyTracker(Entity* owner) : m_owner(owner)
{
    QueueEntity(owner);
}

TriggerOccupancyTracker::~TriggerOccupancyTracker()
{
    for (int32_t i = m_triggers.Count() - 1; i >= 0; --i)
    {
        TriggerEntity* trigger = m_triggers[i].Get();
        // The trigger and every trigger above it that reports for it may list the owner.
        while (trigger != nullptr)
        {
            trigger->RemoveFromInsideList(m_owner);
            trigger = TriggerEntity::AsTrigger(trigger->GetParent());
        }
    }
    m_triggers.FreeStorage();
}

void TriggerOccupancyTracker::AddTrigger(TriggerEntity* trigger)
{
    for (const SafePointer<TriggerEntity>& held : m_triggers)
        if (held.Get() == trigger)
            return;
    m_triggers.Add(SafePointer<TriggerEntity>(trigger));
}

void TriggerOccupancyTracker::RemoveTrigger(const TriggerEntity* trigger)
{
    for (int32_t i = 0; i < m_triggers.Count(); ++i)
        if (m_triggers[i].Get() == trigger)
        {
            m_triggers.RemoveAt(i);
            return;
        }
}

void TriggerOccupancyTracker::QueueEntity(Entity* entity)
{
    if (!gQueueingEnabled || (entity->GetExtraFlags() & ENTITYEXTRA_OCCUPANCY_QUEUED) != 0)
        return;
    entity->SetExtraFlags(entity->GetExtraFlags() | ENTITYEXTRA_OCCUPANCY_QUEUED);
    PendingList().Add(SafePointer<Entity>(entity));
}

const SafePointerArray<Entity>& TriggerOccupancyTracker::GetPendingList()
{
    return PendingList();
}

void TriggerOccupancyTracker::ClearPendingList()
{
    for (SafePointer<Entity>& entity : PendingList())
        if (entity)
            entity->SetExtraFlags(entity->GetExtraFlags() & ~uint32_t(ENTITYEXTRA_OCCUPANCY_QUEUED));
    PendingList().Clear();
}

void TriggerOccupancyTracker::SetQueueingEnabled(bool enabled)
{
    gQueueingEnabled = enabled;
}
