#include "scene/kinds/MeshAnimationGraphTemplate.h"

#include "effects/MeshAnimationGraphEntity.h"

#include <cstdio>

RTTI_DEFINE_CLASS(MeshAnimationGraphStateTransition, RTTIPolyBaseClass)

void MeshAnimationGraphStateTransition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshAnimationGraphStateTransition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("To state", &C::m_toState));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Animation", &C::m_animation));
}

RTTI_DEFINE_CLASS(MeshAnimationGraphState, RTTIPolyBaseClass)

void MeshAnimationGraphState::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshAnimationGraphState;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, MeshAnimationGraphStateTransition>(
        "Transitions", &C::m_transitions));
}

RTTI_DEFINE_CLASS(MeshAnimationGraphTemplate, EntityTemplate)

void MeshAnimationGraphTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshAnimationGraphTemplate;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Definition", &C::m_definition, 0x100));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, MeshAnimationGraphState>("States", &C::m_states));
}

MeshAnimationGraphTemplate::MeshAnimationGraphTemplate()
{
    SetTypeId(kTypeId);
}

Entity* MeshAnimationGraphTemplate::CreateEntity()
{
    return new MeshAnimationGraphEntity;
}

void MeshAnimationGraphTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    EntityTemplate::OnPropertyChanged(property);
    RebuildStates();
}

void MeshAnimationGraphTemplate::OnPostLoad(uint32_t flags)
{
    EntityTemplate::OnPostLoad(flags);
    ResolveTransitions();
}

int32_t MeshAnimationGraphTemplate::FindStateIndex(const NameString& name) const
{
    for (int32_t i = 0; i < m_states.Count(); ++i)
        if (m_states[i].m_name == name)
            return i;
    return -1;
}

int32_t MeshAnimationGraphTemplate::FindOrAddState(const NameString& name)
{
    const int32_t found = FindStateIndex(name);
    if (found >= 0)
        return found;
    MeshAnimationGraphState state;
    state.m_name = name;
    return m_states.Add(state);
}

void MeshAnimationGraphTemplate::RebuildStates()
{
    m_states.Clear();
    size_t start = 0;
    while (start < m_definition.size())
    {
        size_t end = m_definition.find('\n', start);
        if (end == std::string::npos)
            end = m_definition.size();
        const std::string line = m_definition.substr(start, end - start);
        start = end + 1;
        char from[kMaxWordLength + 1];
        char to[kMaxWordLength + 1];
        char animation[kMaxWordLength + 1];
        if (std::sscanf(line.c_str(), "%255s %255s %255s", from, to, animation) != 3)
            continue;
        const NameString toName(to);
        MeshAnimationGraphStateTransition transition;
        transition.m_toState = toName;
        transition.m_animation.Set(animation);
        m_states[FindOrAddState(NameString(from))].m_transitions.Add(transition);
        FindOrAddState(toName);
    }
    ResolveTransitions();
}

void MeshAnimationGraphTemplate::ResolveTransitions()
{
    for (MeshAnimationGraphState& state : m_states)
        for (MeshAnimationGraphStateTransition& transition : state.m_transitions)
            transition.m_targetIndex = FindStateIndex(transition.m_toState);
}
