#include "engine/GameEntityLists.h"

#include "core/console/GameConsole.h"
#include "engine/EngineClock.h"
#include "engine/Game.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/GameDelegate.h"
#include "online/MultiplayerEngine.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityInitQueue.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshEntity.h"

namespace
{
bool HasAuthority()
{
    return gMultiplayerEngine == nullptr || gMultiplayerEngine->HasAuthority();
}

void DropNullEntries(SafePointerArray<Entity>& list)
{
    list.RemoveValue(SafePointer<Entity>());
}

uint32_t Low(uint64_t value)
{
    return uint32_t(value);
}

uint32_t High(uint64_t value)
{
    return uint32_t(value >> 32);
}

// The tick walk poses the animated meshes; anything else listed there is left alone.
void AnimateListedMesh(Entity* entity)
{
    if (MeshEntity* const mesh = dynamic_cast<MeshEntity*>(entity))
        mesh->Animate();
}

// The end-of-frame walk: meshes that follow a proxy's replicated animation.
void ApplyListedReplicatedAnimation(Entity* entity)
{
    if (MeshEntity* const mesh = dynamic_cast<MeshEntity*>(entity))
        mesh->ApplyReplicatedAnimation();
}
} // namespace

GameEntityLists::GameEntityLists()
{
    m_operations.animate = &AnimateListedMesh;
    m_operations.applyReplicatedAnimation = &ApplyListedReplicatedAnimation;
}

GameEntityLists::~GameEntityLists()
{
    ClearEntityCallQueues();
}

void GameEntityLists::RegisterAnimatedEntity(Entity* entity, bool alsoChanged)
{
    if (entity == nullptr)
        return;
    if (!entity->m_inUpdatedList)
    {
        entity->m_inUpdatedList = true;
        m_updated.Add(SafePointer<Entity>(entity));
    }
    if (alsoChanged && !entity->m_inChangedList && HasAuthority())
    {
        entity->m_inChangedList = true;
        m_changed.Add(SafePointer<Entity>(entity));
    }
}

void GameEntityLists::AddScriptTickEntity(Entity* entity)
{
    for (const SafePointer<Entity>& held : m_scriptTick)
        if (held.Get() == entity)
            return;
    m_scriptTick.Add(SafePointer<Entity>(entity));
}

void GameEntityLists::RemoveScriptTickEntity(Entity* entity)
{
    // Cleared, not removed: a tick walk may be running over the list.
    for (SafePointer<Entity>& held : m_scriptTick)
        if (held.Get() == entity)
            held.Set(nullptr);
}

void GameEntityLists::TickList(const char* method)
{
    for (int32_t i = 0; i < m_scriptTick.Count(); ++i)
        if (Entity* const entity = m_scriptTick[i].Get())
            entity->CallScriptMethod(method, 0);
    DropNullEntries(m_scriptTick);
}

void GameEntityLists::TickScriptEntities()
{
    TickList("OnTick");
}

void GameEntityLists::SmoothTickScriptEntities()
{
    TickList("OnSmoothTick");
}

void GameEntityLists::QueueEntityCall(Entity* entity, uint32_t mode)
{
    if (entity == nullptr)
        return;
    if (mode != CALL_NET_INIT)
        entity->SetMID(NULL_ENTITY_MULTIPLAYER_ID);
    entity->m_pendingNetworkCall = true;
    EntityCall call;
    call.mode = mode;
    call.entity.Set(entity);
    m_unsorted.Add(call);
}

void GameEntityLists::InsertTimed(const EntityCall& call)
{
    int32_t at = m_timed.Count();
    while (at > 0 && m_timed[at - 1].dueMicroseconds > call.dueMicroseconds)
        --at;
    m_timed.Insert(call, at);
}

void GameEntityLists::QueueTimedEntityCall(Entity* entity, uint64_t dueMicroseconds, uint32_t mode)
{
    if (entity == nullptr)
        return;
    if (mode != CALL_NET_INIT)
        entity->SetMID(NULL_ENTITY_MULTIPLAYER_ID);
    entity->m_pendingNetworkCall = true;
    EntityCall call;
    call.dueMicroseconds = dueMicroseconds;
    call.mode = mode;
    call.entity.Set(entity);
    InsertTimed(call);
}

bool GameEntityLists::IsEntityCallQueued(uint16_t multiplayerId) const
{
    for (const DynarraySafe<EntityCall>* queue : {&m_unsorted, &m_timed})
        for (const EntityCall& call : *queue)
            if (call.entity && call.entity->GetMID() == multiplayerId)
                return true;
    return false;
}

void GameEntityLists::ClearEntityCallQueues()
{
    m_unsorted.FreeStorage();
    m_timed.FreeStorage();
    m_running.FreeStorage();
    m_runningNext = 0;
}

void GameEntityLists::Clear()
{
    for (SafePointer<Entity>& held : m_updated)
        if (Entity* const entity = held.Get())
            entity->m_inUpdatedList = false;
    for (SafePointer<Entity>& held : m_changed)
        if (Entity* const entity = held.Get())
            entity->m_inChangedList = false;
    m_scriptTick.FreeStorage();
    m_updated.FreeStorage();
    m_changed.FreeStorage();
    m_tickAnimated.FreeStorage();
    m_endOfFrameAnimated.FreeStorage();
    m_replicatedState.FreeStorage();
    ClearEntityCallQueues();
}

bool GameEntityLists::IsStillQueued(const Entity* entity) const
{
    for (int32_t i = m_runningNext; i < m_running.Count(); ++i)
        if (m_running[i].entity.Get() == entity)
            return true;
    for (const DynarraySafe<EntityCall>* queue : {&m_unsorted, &m_timed})
        for (const EntityCall& call : *queue)
            if (call.entity.Get() == entity)
                return true;
    return false;
}

void GameEntityLists::FireDueEntityCalls(bool all, uint64_t nowMicroseconds)
{
    if (all && HasAuthority())
    {
        for (EntityCall& call : m_unsorted)
        {
            call.dueMicroseconds = 0;
            InsertTimed(call);
        }
        m_unsorted.Clear();
    }
    int32_t due = 0;
    while (due < m_timed.Count() && (all || m_timed[due].dueMicroseconds <= nowMicroseconds))
        ++due;
    if (due == 0)
        return;
    // The due records leave the queue before any runs.
    m_running.Clear();
    for (int32_t i = 0; i < due; ++i)
        m_running.Add(m_timed[i]);
    m_timed.RemoveRange(0, due - 1);
    for (m_runningNext = 0; m_runningNext < m_running.Count();)
    {
        EntityCall& call = m_running[m_runningNext++];
        Entity* const entity = call.entity.Get();
        if (entity == nullptr || !entity->m_pendingNetworkCall)
            continue;
        if (call.mode == CALL_REMOVE_SUBTREE)
        {
            RemoveSubtree(entity);
            continue;
        }
        entity->m_pendingNetworkCall = IsStillQueued(entity);
        // The peer hears of the entity's changes before the call, and what it sent is applied.
        if (HasAuthority())
        {
            const uint64_t engineTime = gEngineClock.GetFrameTime();
            const uint64_t sinceUpdate = nowMicroseconds > engineTime ? nowMicroseconds - engineTime : 0;
            entity->WriteMPProperties(Low(engineTime), High(engineTime), Low(sinceUpdate), High(sinceUpdate));
        }
        entity->ReadMPProperties(Low(nowMicroseconds), High(nowMicroseconds));
        if (call.mode == CALL_NET_INIT)
        {
            entity->ClearFlag(ENTITYFLAG_DISABLE_UPDATE, false);
            gEntityManager.OnNetInit(entity);
        }
        else if (call.mode == CALL_DESTROY)
            entity->Destroy();
    }
    m_running.Clear();
    m_runningNext = 0;
}

void GameEntityLists::RemoveSubtree(Entity* entity)
{
    const Dynarray<Entity*>& children = entity->GetChildren();
    for (int32_t i = children.Count() - 1; i >= 0; --i)
        if (i < children.Count() && children[i]->m_pendingNetworkCall)
            RemoveSubtree(children[i]);
    for (int32_t i = m_timed.Count() - 1; i >= 0; --i)
        if (m_timed[i].entity.Get() == entity && m_timed[i].mode == CALL_REMOVE_SUBTREE)
            m_timed.RemoveAt(i);
    entity->m_pendingNetworkCall = false;
    gEntityManager.DeleteEntity(entity);
}

uint32_t GameEntityLists::SendChangedEntities(uint32_t timeLow, uint32_t timeHigh, uint32_t deltaLow, uint32_t deltaHigh)
{
    const uint32_t count = uint32_t(m_changed.Count());
    for (SafePointer<Entity>& held : m_changed)
    {
        Entity* const entity = held.Get();
        if (entity == nullptr)
            continue;
        if (entity->GetPendingChangeMask() != 0)
        {
            entity->WriteMPProperties(timeLow, timeHigh, deltaLow, deltaHigh);
            RegisterAnimatedEntity(entity, false);
        }
        entity->m_inChangedList = false;
    }
    m_changed.Clear();
    gProfiler.SetValue(PROFILER_MP_PROPS_ENTITY_TICK_NUM, float(count), PROFILER_SOURCE_MAIN);
    return count;
}

uint32_t GameEntityLists::WriteUpdatedEntities(uint32_t timeLow, uint32_t timeHigh, uint32_t deltaLow,
                                               uint32_t deltaHigh)
{
    uint32_t written = 0;
    for (int32_t i = 0; i < m_updated.Count(); ++i)
    {
        Entity* const entity = m_updated[i].Get();
        if (entity == nullptr || entity->GetPendingChangeMask() == 0)
            continue;
        entity->WriteMPProperties(timeLow, timeHigh, deltaLow, deltaHigh);
        ++written;
    }
    DropNullEntries(m_updated);
    return written;
}

void GameEntityLists::InitSceneEntities()
{
    SafePointerArray<Entity> entities;
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        entities.Add(SafePointer<Entity>(entity));
    const bool opened = EntityInitQueue::Begin();
    for (SafePointer<Entity>& held : entities)
    {
        Entity* const entity = held.Get();
        if (entity == nullptr || entity->HasFlag(0x40800000))
            continue;
        entity->PostCreateInit();
        if (GameDelegate* const delegate = gGame.GetDelegate())
            delegate->StartEntityScript(entity);
    }
    if (opened)
        EntityInitQueue::Flush();
}

void GameEntityLists::AddOnce(SafePointerArray<Entity>& list, Entity* entity)
{
    if (entity == nullptr)
        return;
    for (const SafePointer<Entity>& held : list)
        if (held.Get() == entity)
            return;
    list.Add(SafePointer<Entity>(entity));
}

void GameEntityLists::AddTickAnimatedEntity(Entity* entity)
{
    AddOnce(m_tickAnimated, entity);
}

void GameEntityLists::AddEndOfFrameAnimatedEntity(Entity* entity)
{
    AddOnce(m_endOfFrameAnimated, entity);
}

void GameEntityLists::AddReplicatedStateEntity(Entity* entity)
{
    AddOnce(m_replicatedState, entity);
}

void GameEntityLists::RemoveTickAnimatedEntity(const Entity* entity)
{
    if (entity == nullptr)
        return;
    for (SafePointer<Entity>& held : m_tickAnimated)
        if (held.Get() == entity)
            held.Set(nullptr);
    if (!m_animatingTick)
        DropNullEntries(m_tickAnimated);
}

void GameEntityLists::AnimateTickEntities()
{
    if (m_tickAnimated.Count() != 0)
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

void GameEntityLists::ApplyEndOfFrameAnimation()
{
    if (m_endOfFrameAnimated.Count() != 0)
    {
        for (int32_t i = 0; i < m_endOfFrameAnimated.Count(); ++i)
            if (Entity* const entity = m_endOfFrameAnimated[i].Get())
                m_operations.applyReplicatedAnimation(entity);
    }
    DropNullEntries(m_endOfFrameAnimated);
}

void GameEntityLists::ApplyReplicatedStates(uint64_t realMicroseconds)
{
    for (int32_t i = 0; i < m_replicatedState.Count(); ++i)
    {
        Entity* const entity = m_replicatedState[i].Get();
        // A used-up queue takes the entity out; the entry is dropped below with the dead ones.
        if (entity != nullptr && !entity->ReadMPProperties(Low(realMicroseconds), High(realMicroseconds)))
            m_replicatedState[i].Set(nullptr);
    }
    DropNullEntries(m_replicatedState);
}
