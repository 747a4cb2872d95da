// MeshAnimationGraphEntity (script class "MeshAnimationGraphEntity"): the entity a
// MeshAnimationGraphTemplate makes. It drives one mesh through the template's states: asked for a
// target state it finds the shortest chain of transitions from the current one (breadth first),
// queues the states and plays the transitions' animations one after the other, each started when
// the previous one ends (it is their callback object). Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/strings/NameString.h"
#include "effects/animation/AnimationParams.h"
#include "scene/entities/Entity.h"

#include <cstdint>

class MeshAnimationGraphTemplate;
class MeshEntity;

// Entity that plays an animation graph on a mesh.
class MeshAnimationGraphEntity : public Entity, public AnimationCallbackObject
{
    RTTI_DECLARE_CLASS(MeshAnimationGraphEntity, Entity)

public:
    // Search records are indexed by state in a visited set of this many bits.
    static constexpr int32_t kMaxStates = 1024;

    void SetControlledMesh(MeshEntity* mesh, const char* node);
    // Plans the way from the current state to the target and starts its first transition; a target
    // equal to the current state (or any target while the current one is no state) starts the
    // animation directly.
    void StartAnimation(const char* animation, const char* target);
    // A transition animation ended (finished or stopped): the next queued one starts.
    void AnimationEnded(int32_t id, int32_t ranToEnd) override;
    void ResetBoundsFromTemplate(const char* propertyName) override;

    const NameString& GetNodeName() const { return m_node; }
    const char* GetCurrentState() const { return m_currentState.CStr(); }
    // Queued states, the next one to enter last.
    const DynarraySafe<NameString>& GetQueue() const { return m_queue; }
    uint32_t GetSerial() const { return m_serial; }

private:
    const MeshAnimationGraphTemplate* GetGraph() const;
    void StartDirectly(const NameString& animation);
    // Fills the queue with the states of the shortest chain to the target (none when unreachable).
    void PlanChain(const MeshAnimationGraphTemplate& graph, int32_t current, int32_t target);
    void PlayNextTransition();

    SafePointer<MeshEntity> m_mesh;
    NameString m_node;
    NameString m_currentState;
    DynarraySafe<NameString> m_queue;
    uint32_t m_serial = 0;
    // Set while a transition starts: an animation that the new one replaces ends inside that start
    // and must not pull the queue on a second time.
    bool m_starting = false;
};
