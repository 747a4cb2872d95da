#include "engine/GameFrameEntityLists.h"

#include "core/console/GameConsole.h"
#include "scene/entities/Entity.h"

GameFrameEntityLists gGameFrameEntityLists;

namespace
{
void DropNullEntries(SafePointerArray<Entity>& list)
{
    list.RemoveValue(SafePointer<Entity>());
}
} // namespace

void GameFrameEntityLists::AddOnce(SafePointerArray<Entity>& list, Entity* entity)
{
    if (entity == nullptr)
        return;
    for (const SafePointer<Entity>& held : list)
        if (held.Get() == entity)
            return;
    list.Add(SafePointer<Entity>(entity));
}

void GameFrameEntityLists::AddTickAnimatedEntity(Entity* entity)
{
    AddOnce(m_tickAnimated, entity);
}

void GameFrameEntityLists::AddEndOfFrameAnimatedEntity(Entity* entity)
{
    AddOnce(m_endOfFrameAnimated, entity);
}

void GameFrameEntityLists::AddReplicatedStateEntity(Entity* entity)
{
    AddOnce(m_replicatedState, entity);
}

void GameFrameEntityLists::RemoveTickAnimatedEntity(const Entity* entity)
{
    if (entity == nullptr)
        return;
    for (SafePointer<Entity>& held : m_tickAnimated)
        if (held.Get() == entity)
            held.Set(nullptr);
    if (!m_animatingTick)
        DropNullEntries(m_tickAnimated);
}

bool GameFrameEntityLists::ReportMissing(bool present, bool& reported, const char* what)
{
    if (!present && !reported)
    {
        reported = true;
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "%s is not built yet", what);
    }
    return present;
}

void GameFrameEntityLists::AnimateTickEntities()
{
    if (m_tickAnimated.Count() != 0 &&
        ReportMissing(m_operations.animate != nullptr, m_animateReported, "MeshEntity::Animate"))
    {
        // By index: an animation may add entities to the list or take them out.
        m_animatingTick = true;
        for (int32_t i = 0; i < m_tickAnimated.Count(); ++i)
            if (Entity* const entity = m_tickAnimated[i].Get())
                m_operations.animate(entity);
        m_animatingTick = false;
    }
    DropNullEntries(m_tickAnimated);
}

void GameFrameEntityLists::ApplyEndOfFrameAnimation()
{
    if (m_endOfFrameAnimated.Count() != 0 &&
        ReportMissing(m_operations.applyReplicatedAnimation != nullptr, m_replicatedAnimationReported,
                      "MeshEntity replicated animation"))
    {
        for (int32_t i = 0; i < m_endOfFrameAnimated.Count(); ++i)
            if (Entity* const entity = m_endOfFrameAnimated[i].Get())
                m_operations.applyReplicatedAnimation(entity);
    }
    DropNullEntries(m_endOfFrameAnimated);
}

void GameFrameEntityLists::ApplyReplicatedStates(uint64_t realMicroseconds)
{
    if (m_replicatedState.Count() != 0 &&
        ReportMissing(m_operations.readReplicatedState != nullptr, m_replicatedStateReported,
                      "Entity::ReadMPProperties"))
    {
        for (int32_t i = 0; i < m_replicatedState.Count(); ++i)
        {
            Entity* const entity = m_replicatedState[i].Get();
            // A used-up queue takes the entity out; the entry is dropped below with the dead ones.
            if (entity != nullptr && !m_operations.readReplicatedState(entity, realMicroseconds))
                m_replicatedState[i].Set(nullptr);
        }
    }
    DropNullEntries(m_replicatedState);
}

void GameFrameEntityLists::Clear()
{
    m_tickAnimated.FreeStorage();
    m_endOfFrameAnimated.FreeStorage();
    m_replicatedState.FreeStorage();
}

void GameFrameEntityLists::ForgetReports()
{
    m_animateReported = false;
    m_replicatedAnimationReported = false;
    m_replicatedStateReported = false;
}
