#include "scene/entities/TriggerOccupancyTracker.h"

#include "scene/entities/Entity.h"
#include "scene/kinds/TriggerEntity.h"

#include <utility>

namespace
{
SafePointerArray<Entity>& PendingList()
{
    static SafePointerArray<Entity> list;
    return list;
}

bool gQueueingEnabled = true;
float gLargestRadius = 0.0f;
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

void TriggerOccupancyTracker::SetRadiusForTrigger(float radius)
{
    m_radius = radius;
    if (radius > gLargestRadius)
        gLargestRadius = radius;
}

float TriggerOccupancyTracker::GetLargestRadius()
{
    return gLargestRadius;
}

void TriggerOccupancyTracker::AddTrigger(TriggerEntity* trigger)
{
    if (!HoldsTrigger(trigger))
        m_triggers.Add(SafePointer<TriggerEntity>(trigger));
}

bool TriggerOccupancyTracker::HoldsTrigger(const TriggerEntity* trigger) const
{
    for (const SafePointer<TriggerEntity>& held : m_triggers)
        if (held.Get() == trigger)
            return true;
    return false;
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

void TriggerOccupancyTracker::DropDeadTriggers()
{
    for (int32_t i = m_triggers.Count() - 1; i >= 0; --i)
        if (!m_triggers[i])
            m_triggers.RemoveAt(i);
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

void TriggerOccupancyTracker::TakePendingList(SafePointerArray<Entity>& out)
{
    out = std::move(PendingList());
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
