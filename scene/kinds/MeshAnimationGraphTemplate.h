// MeshAnimationGraphTemplate: an animation state graph (type 15). Named states, each with its
// transitions to other states and the animation played on the way, are rebuilt from a short text
// ("Definition", one "from to animation" line per transition) whenever the template is edited; the
// state table is what records store. Main thread only (the resource thread only reads its record).
#pragma once

#include "core/containers/Dynarray.h"
#include "core/strings/NameString.h"
#include "scene/templates/EntityTemplate.h"

#include <string>

// One transition: the target state's name, the animation played, and the target's index once
// resolved (-1 until then, or when no state has the name).
class MeshAnimationGraphStateTransition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshAnimationGraphStateTransition, RTTIPolyBaseClass)

public:
    NameString m_toState;
    NameString m_animation;
    int32_t m_targetIndex = -1;
};

// One state: its name and its transitions.
class MeshAnimationGraphState : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshAnimationGraphState, RTTIPolyBaseClass)

public:
    NameString m_name;
    DynarraySafe<MeshAnimationGraphStateTransition> m_transitions;
};

// Template of animation graphs.
class MeshAnimationGraphTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(MeshAnimationGraphTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 15;
    // Longest word of a definition line; longer words are cut into several.
    static constexpr int kMaxWordLength = 255;

    MeshAnimationGraphTemplate();

    const char* GetTemplateClassName() const override { return "MeshAnimationGraphTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "MeshAnimationGraphEntity"; }
    // Every edit, of whatever property, rebuilds the states from "Definition".
    void OnPropertyChanged(const RTTIProperty* property) override;
    // A read template keeps its stored states and only resolves their targets.
    void OnPostLoad(uint32_t flags) override;

    // The first state whose name is the same interned name, or -1.
    int32_t FindStateIndex(const NameString& name) const;
    void RebuildStates();
    void ResolveTransitions();

    const std::string& GetDefinition() const { return m_definition; }
    void SetDefinition(const char* text) { m_definition = text != nullptr ? text : ""; }
    const DynarraySafe<MeshAnimationGraphState>& GetStates() const { return m_states; }

private:
    int32_t FindOrAddState(const NameString& name);

    std::string m_definition;
    DynarraySafe<MeshAnimationGraphState> m_states;
};
