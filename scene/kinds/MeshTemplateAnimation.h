// The records through which a mesh template names its animations: definitions with their presets,
// the preset tree that resolves preset names, and overlay lists that pick an animation by tags.
// Main thread; the resource thread reads them with the template's record.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

class MeshTemplate;
class Resource;

// A marker inside an animation.
class MeshTemplateAnimationFrameData : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshTemplateAnimationFrameData, RTTIPolyBaseClass)

public:
    NameString m_name;
    NameString m_soundEvent;
    float m_timeStamp = 0.0f;
};

// One playable animation with its timing; holds one reference to its loaded animation resource.
class MeshTemplateAnimationPreset : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshTemplateAnimationPreset, RTTIPolyBaseClass)

public:
    MeshTemplateAnimationPreset() = default;
    // Copies share the animation resource, each holding its own reference.
    MeshTemplateAnimationPreset(const MeshTemplateAnimationPreset& other);
    MeshTemplateAnimationPreset& operator=(const MeshTemplateAnimationPreset& other);
    ~MeshTemplateAnimationPreset() override;

    // Back to the defaults, dropping the animation reference.
    void Reset();
    Resource* GetAnimation() const { return m_animation; }
    // Takes over one reference the caller holds (null drops the current one).
    void AdoptAnimation(Resource* animation);

    NameString m_name;
    NameString m_fileName;
    float m_time = 1.0f;
    float m_movementSpeed = 0.0f;
    float m_cooldown = 0.0f;
    uint32_t m_removedFrames = 0;
    DynarraySafe<MeshTemplateAnimationFrameData> m_frames;

private:
    Resource* m_animation = nullptr;
};

// An animation and its variants; its preset indices start at the base the template assigns.
class MeshTemplateAnimationDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshTemplateAnimationDefinition, RTTIPolyBaseClass)

public:
    const NameString& GetName() const { return m_defaultPreset.m_name; }

    MeshTemplateAnimationPreset m_defaultPreset;
    DynarraySafe<MeshTemplateAnimationPreset> m_presets;
    // Not serialized.
    MeshTemplate* m_owner = nullptr;
    int32_t m_baseIndex = -1;
};

// A preset name and the name it falls back to.
class MeshTemplateAnimationPresetNode : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshTemplateAnimationPresetNode, RTTIPolyBaseClass)

public:
    NameString m_name;
    NameString m_parent;
};

// The fallbacks that resolve preset names a definition lacks.
class MeshTemplateAnimationPresetTree : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshTemplateAnimationPresetTree, RTTIPolyBaseClass)

public:
    DynarraySafe<MeshTemplateAnimationPresetNode> m_nodes;
};

// One entry of an overlay list: applies when all its tags are among the caller's.
class MeshTemplateAnimationOverlay : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshTemplateAnimationOverlay, RTTIPolyBaseClass)

public:
    // True when every tag of the overlay is in `tags` (an overlay without tags always matches).
    bool Matches(const DynarraySafe<NameString>& tags) const;
    virtual bool GetFlag() const { return m_flag; }
    void SetAnimation(const NameString& name) { m_animation = name; }
    const NameString* GetAnimationAddress() const { return &m_animation; }

    DynarraySafe<NameString> m_tags;
    NameString m_animation;
    float m_timeMultiplier = 0.0f;
    bool m_flag = false;
};

// A named animation chosen by tags from its overlays; its preset index follows every definition's.
class MeshTemplateAnimationOverlayList : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(MeshTemplateAnimationOverlayList, RTTIPolyBaseClass)

public:
    MeshTemplateAnimationOverlayList() = default;
    MeshTemplateAnimationOverlayList(const MeshTemplateAnimationOverlayList&) = delete;
    MeshTemplateAnimationOverlayList& operator=(const MeshTemplateAnimationOverlayList&) = delete;
    ~MeshTemplateAnimationOverlayList() override;

    void InvalidateSafePointers() override;
    // `out` starts as the list's name with multiplier 0; each matching overlay in order replaces the
    // animation when it names one and the multiplier when it is not 0.
    void BuildOverlay(MeshTemplateAnimationOverlay& out, const DynarraySafe<NameString>& tags) const;

    NameString m_name;
    Dynarray<MeshTemplateAnimationOverlay*> m_overlays;
};
