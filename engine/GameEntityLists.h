// The Game's entity lists and deferred entity calls, held by the Game (`Game::GetEntityLists`).
// Main thread only.
//
// Every list holds safe pointers, so an entity that dies leaves a null entry that walks skip and
// drop. The deferred calls carry the network life cycle of entities (initialisation, destruction,
// subtree removal) to a later point of the frame or a later time. A walk takes the due records out
// of the queue before it runs any of them: a call can neither be lost nor run twice when the calls
// it runs queue, remove or delete records.
//
// The per-entity work of the mesh-animation lists is the mesh kind's (MeshEntity::Animate and its
// replicated animation); tests may install operations of their own in its place.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"

#include <cstdint>

class Entity;

// Lists of entities the frame walks, and the two queues of deferred entity calls.
class GameEntityLists
{
public:
    struct Operations
    {
        // Animates the entity without forcing (once per logic tick).
        void (*animate)(Entity* entity) = nullptr;
        // Applies the entity's last received replicated animation (once per frame, at its end).
        void (*applyReplicatedAnimation)(Entity* entity) = nullptr;
    };

    enum CallMode : uint32_t
    {
        CALL_NET_INIT = 0,
        CALL_DESTROY = 1,
        CALL_REMOVE_SUBTREE = 2,
    };

    struct EntityCall
    {
        uint64_t dueMicroseconds = 0;
        uint32_t mode = 0;
        SafePointer<Entity> entity;
    };

    GameEntityLists();
    ~GameEntityLists();
    GameEntityLists(const GameEntityLists&) = delete;
    GameEntityLists& operator=(const GameEntityLists&) = delete;

    void RegisterAnimatedEntity(Entity* entity, bool alsoChanged);
    void AddScriptTickEntity(Entity* entity);
    void RemoveScriptTickEntity(Entity* entity);
    void TickScriptEntities();
    void SmoothTickScriptEntities();

    void QueueEntityCall(Entity* entity, uint32_t mode);
    void QueueTimedEntityCall(Entity* entity, uint64_t dueMicroseconds, uint32_t mode);
    bool IsEntityCallQueued(uint16_t multiplayerId) const;
    void ClearEntityCallQueues();
    // Empties every list and queue (the Game's close); live entities forget their list marks. The
    // installed operations stay.
    void Clear();
    // Runs the calls due at `nowMicroseconds` (the engine clock's real time of the frame), or all.
    void FireDueEntityCalls(bool all, uint64_t nowMicroseconds);
    // Writes the changed properties of every changed entity (Entity::WriteMPProperties with the
    // arguments) and moves them to the updated list; the former length goes to the profiler and is
    // returned.
    uint32_t SendChangedEntities(uint32_t timeLow, uint32_t timeHigh, uint32_t deltaLow, uint32_t deltaHigh);
    // The replicated-property pass of the registered entities: every entity of the updated list
    // whose properties changed again writes them; returns how many wrote.
    uint32_t WriteUpdatedEntities(uint32_t timeLow, uint32_t timeHigh, uint32_t deltaLow, uint32_t deltaHigh);
    // Post-creation initialisation and the OnInit passes of every entity of a freshly loaded scene.
    void InitSceneEntities();

    // The mesh kind's work by default; tests put recorders in its place.
    void InstallOperations(const Operations& operations) { m_operations = operations; }
    const Operations& GetOperations() const { return m_operations; }

    // Each entity is listed once.
    void AddTickAnimatedEntity(Entity* entity);
    void AddEndOfFrameAnimatedEntity(Entity* entity);
    void AddReplicatedStateEntity(Entity* entity);
    // The entity is animated no more (its entry goes at once, or at the end of a running walk).
    void RemoveTickAnimatedEntity(const Entity* entity);

    // The frame's walks of the kinds' lists.
    void AnimateTickEntities();
    void ApplyEndOfFrameAnimation();
    // Applies each listed entity's received states up to the engine clock's real time
    // (Entity::ReadMPProperties); an entity whose queue is used up leaves the list.
    void ApplyReplicatedStates(uint64_t realMicroseconds);

    const SafePointerArray<Entity>& GetScriptTickList() const { return m_scriptTick; }
    const SafePointerArray<Entity>& GetUpdatedList() const { return m_updated; }
    const SafePointerArray<Entity>& GetChangedList() const { return m_changed; }
    const DynarraySafe<EntityCall>& GetUnsortedCalls() const { return m_unsorted; }
    const DynarraySafe<EntityCall>& GetTimedCalls() const { return m_timed; }
    const SafePointerArray<Entity>& GetTickAnimated() const { return m_tickAnimated; }
    const SafePointerArray<Entity>& GetEndOfFrameAnimated() const { return m_endOfFrameAnimated; }
    const SafePointerArray<Entity>& GetReplicatedState() const { return m_replicatedState; }

private:
    void TickList(const char* method);
    void InsertTimed(const EntityCall& call);
    void RemoveSubtree(Entity* entity);
    bool IsStillQueued(const Entity* entity) const;
    static void AddOnce(SafePointerArray<Entity>& list, Entity* entity);

    SafePointerArray<Entity> m_scriptTick;
    SafePointerArray<Entity> m_updated;
    SafePointerArray<Entity> m_changed;
    DynarraySafe<EntityCall> m_unsorted;
    DynarraySafe<EntityCall> m_timed;
    // The calls of the walk in progress (taken out of the queues).
    DynarraySafe<EntityCall> m_running;
    int32_t m_runningNext = 0;

    Operations m_operations;
    SafePointerArray<Entity> m_tickAnimated;
    SafePointerArray<Entity> m_endOfFrameAnimated;
    SafePointerArray<Entity> m_replicatedState;
    // True while the tick walk runs: entries leaving then are only cleared, so indices stay valid.
    bool m_animatingTick = false;
};
