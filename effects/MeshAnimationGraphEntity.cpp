#include "effects/MeshAnimationGraphEntity.h"

#include "core/console/GameConsole.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/MeshEntity.h"

#include <bitset>
#include <vector>

RTTI_DEFINE_CLASS_TABLE(MeshAnimationGraphEntity, Entity)

void MeshAnimationGraphEntity::BuildClassProperties(RTTIPropertiesBase&) {}

namespace
{
// One step of the breadth-first search: a state reached, and from where.
struct SearchRecord
{
    int32_t state;
    int32_t predecessor; // record index, -1 for the start
    int32_t transition;  // of the predecessor's state, -1 for the start
};
} // namespace

const MeshAnimationGraphTemplate* MeshAnimationGraphEntity::GetGraph() const
{
    return dynamic_cast<const MeshAnimationGraphTemplate*>(GetTemplate());
}

void MeshAnimationGraphEntity::SetControlledMesh(MeshEntity* mesh, const char* node)
{
    m_mesh = mesh;
    m_node = NameString(node != nullptr ? node : "");
}

void MeshAnimationGraphEntity::StartDirectly(const NameString& animation)
{
    if (MeshEntity* const mesh = m_mesh.Get())
    {
        m_starting = true;
        mesh->StartAnimation(m_node, animation, nullptr);
        m_starting = false;
    }
}

void MeshAnimationGraphEntity::StartAnimation(const char* animationName, const char* targetName)
{
    m_queue.Clear();
    const NameString animation(animationName != nullptr ? animationName : "");
    const NameString target(targetName != nullptr ? targetName : "");
    const MeshAnimationGraphTemplate* const graph = GetGraph();
    const int32_t current = graph != nullptr ? graph->FindStateIndex(m_currentState) : -1;
    if (target == m_currentState)
        StartDirectly(animation);
    else if (current < 0)
    {
        // No state yet (at the start): the animation plays directly and the target is taken as is.
        StartDirectly(animation);
        m_currentState = target;
        return;
    }
    else
    {
        const int32_t wanted = graph->FindStateIndex(target);
        if (wanted < 0)
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Undefined animation state %s in entity %s", target.CStr(), GetName());
        else
            PlanChain(*graph, current, wanted);
    }
    if (m_queue.IsEmpty())
        return;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Animation graph state queue:");
    for (int32_t i = m_queue.Count(); i > 0; --i)
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "%s", m_queue[i - 1].CStr());
    PlayNextTransition();
}

void MeshAnimationGraphEntity::PlanChain(const MeshAnimationGraphTemplate& graph, int32_t current, int32_t target)
{
    const DynarraySafe<MeshAnimationGraphState>& states = graph.GetStates();
    std::bitset<kMaxStates> visited;
    std::vector<SearchRecord> records = {{current, -1, -1}};
    int32_t reached = -1;
    for (size_t i = 0; i < records.size() && reached < 0; ++i)
    {
        const int32_t state = records[i].state;
        // Targets are resolved indices, or -1 when no state had the name.
        if (state < 0 || state >= kMaxStates || state >= states.Count())
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Animation state table inconsistency or too many states");
            continue;
        }
        if (visited.test(size_t(state)))
            continue;
        visited.set(size_t(state));
        if (state == target)
        {
            reached = int32_t(i);
            break;
        }
        const DynarraySafe<MeshAnimationGraphStateTransition>& transitions = states[state].m_transitions;
        for (int32_t t = 0; t < transitions.Count(); ++t)
            records.push_back({transitions[t].m_targetIndex, int32_t(i), t});
    }
    if (reached < 0)
        return;
    for (int32_t r = reached; r >= 0; r = records[size_t(r)].predecessor)
        m_queue.Add(states[records[size_t(r)].state].m_name);
    // The last element is the current state itself.
    m_queue.RemoveAt(m_queue.Count() - 1);
}

void MeshAnimationGraphEntity::PlayNextTransition()
{
    if (m_queue.IsEmpty())
        return;
    const NameString next = m_queue[m_queue.Count() - 1];
    const MeshAnimationGraphTemplate* const graph = GetGraph();
    const int32_t current = graph != nullptr ? graph->FindStateIndex(m_currentState) : -1;
    const MeshAnimationGraphStateTransition* transition = nullptr;
    if (current >= 0)
        for (const MeshAnimationGraphStateTransition& candidate : graph->GetStates()[current].m_transitions)
            if (candidate.m_toState == next)
            {
                transition = &candidate;
                break;
            }
    if (transition == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mesh animation graph inconsistency. Aborting animation queue");
        m_queue.Clear();
        return;
    }
    ++m_serial;
    AnimationParams params;
    params.Id = int32_t(m_serial);
    params.CallbackObject = static_cast<AnimationCallbackObject*>(this);
    // The state moves on when the transition starts; a mesh that died plays nothing, so the chain
    // stops here.
    const NameString animation = transition->m_animation;
    m_currentState = next;
    m_queue.RemoveAt(m_queue.Count() - 1);
    if (MeshEntity* const mesh = m_mesh.Get())
    {
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Starting transition animation %s for mesh %s",
                        animation.CStr(), mesh->GetName());
        m_starting = true;
        mesh->StartAnimation(m_node, animation, &params);
        m_starting = false;
    }
}

void MeshAnimationGraphEntity::AnimationEnded(int32_t, int32_t)
{
    if (!m_starting)
        PlayNextTransition();
}

void MeshAnimationGraphEntity::ResetBoundsFromTemplate(const char* propertyName)
{
    Entity::ResetBoundsFromTemplate(propertyName);
    m_queue.Clear();
}
