// The Game's entity lists whose per-entity work belongs to kinds built outside the engine: mesh
// entities animated after each logic tick, mesh entities whose replicated animation is applied at
// the end of the frame, and entities with queued replicated state. Main thread only.
//
// The frame walks the lists at its fixed points; what a walk does to an entry is an operation the
// owning kind installs when its classes are registered (the mesh kind its animation, the network
// layer its state reader). Until then entries are kept and dead ones dropped, and the first walk
// with entries says once in the log which operation is missing. Lists hold safe pointers: an
// entity that dies leaves a null entry that the next walk drops.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

class Entity;

// The three lists and the operations applied to their entries.
class GameFrameEntityLists
{
public:
    struct Operations
    {
        // Animates the entity without forcing (once per logic tick).
        void (*animate)(Entity* entity) = nullptr;
        // Applies the entity's last received replicated animation (once per frame, at its end).
        void (*applyReplicatedAnimation)(Entity* entity) = nullptr;
        // Applies the entity's queued replicated states up to the engine clock's real time;
        // false when its queue is used up (it then leaves the list).
        bool (*readReplicatedState)(Entity* entity, uint64_t realMicroseconds) = nullptr;
    };

    GameFrameEntityLists() = default;
    GameFrameEntityLists(const GameFrameEntityLists&) = delete;
    GameFrameEntityLists& operator=(const GameFrameEntityLists&) = delete;

    void InstallOperations(const Operations& operations) { m_operations = operations; }
    const Operations& GetOperations() const { return m_operations; }

    // Each entity is listed once.
    void AddTickAnimatedEntity(Entity* entity);
    void AddEndOfFrameAnimatedEntity(Entity* entity);
    void AddReplicatedStateEntity(Entity* entity);
    // The entity is animated no more (its entry goes at once, or at the end of a running walk).
    void RemoveTickAnimatedEntity(const Entity* entity);

    // The frame's walks.
    void AnimateTickEntities();
    void ApplyEndOfFrameAnimation();
    void ApplyReplicatedStates(uint64_t realMicroseconds);

    // Empties the lists (the Game's close); the operations stay installed.
    void Clear();
    // The next walk without its operation says so again (each Game start).
    void ForgetReports();

    const SafePointerArray<Entity>& GetTickAnimated() const { return m_tickAnimated; }
    const SafePointerArray<Entity>& GetEndOfFrameAnimated() const { return m_endOfFrameAnimated; }
    const SafePointerArray<Entity>& GetReplicatedState() const { return m_replicatedState; }

private:
    static void AddOnce(SafePointerArray<Entity>& list, Entity* entity);
    bool ReportMissing(bool present, bool& reported, const char* what);

    Operations m_operations;
    SafePointerArray<Entity> m_tickAnimated;
    SafePointerArray<Entity> m_endOfFrameAnimated;
    SafePointerArray<Entity> m_replicatedState;
    // True while the tick walk runs: entries leaving then are only cleared, so indices stay valid.
    bool m_animatingTick = false;
    bool m_animateReported = false;
    bool m_replicatedAnimationReported = false;
    bool m_replicatedStateReported = false;
};

extern GameFrameEntityLists gGameFrameEntityLists;
