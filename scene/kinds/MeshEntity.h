// MeshEntity: the entity of a mesh template. It keeps the per-instance shader preset choice, colour,
// lightmap mapping and animation tags, its hierarchy (MeshAnimator) built from the template's
// skeleton, and the mesh rendering context; the script operations on the hierarchy are in
// MeshEntityHierarchy.cpp. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/HDRColor.h"
#include "core/strings/NameString.h"
#include "effects/MeshAnimator.h"
#include "renderer/LightmapMapping.h"
#include "scene/entities/Entity.h"

#include <cstdint>

class MeshTemplate;
class MeshEntityRenderingContext;

// Entity of a mesh template.
class MeshEntity : public Entity
{
    RTTI_DECLARE_CLASS(MeshEntity, Entity)

public:
    static constexpr uint8_t kNoCustomPreset = 255;
    static constexpr uint32_t kQuietAnimationFlag = 0x400;
    // Render flags the mesh data's four switches set, in the order of the switches.
    static constexpr uint32_t kSwitchRenderFlags[4] = {0x40, 0x80, 0x20, 0x200};

    MeshEntity();
    ~MeshEntity() override;

    void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const override;
    void InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags) override;
    void ChangeTemplate(EntityTemplate* entityTemplate) override;
    void ResetBoundsFromTemplate(const char* propertyName) override;
    void PostCreateInit() override;
    void OnFrameHook(uint32_t flags) override;
    void DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color) override;
    void RemoveChild(Entity* child) override;
    EntityRenderingContext* CreateRenderingContext() override;
    void UpdateTransform() override;
    void GetCollisionBounds(BoundingBox4& box) override;
    void OnFlag32Raised() override;
    void OnFlag32Cleared() override;
    // True only for a plain MeshEntity with "Optimizable" set whose template is an optimizable mesh.
    virtual bool IsOptimizable() const;

    const MeshTemplate* GetMeshTemplate() const;
    MeshEntityRenderingContext* GetMeshRenderingContext() const;

    // Colour, fake shadow and outline go to the rendering context when there is one.
    void SetLocalColor(const HDRColor& color);
    const HDRColor& GetLocalColor() const { return m_localColor; }
    void SetFakeShadowStrength(float strength);
    void SetEntityOutlineState(int32_t state);
    const BoundingBox4& GetLocalCollisionBoundingBox() const;

    // Shader presets: the stored name selects by the template's presets, else "Default", else 0.
    bool HasShaderPreset(const NameString& name) const;
    void SetCustomTemporaryShaderPreset(const char* name);
    void TemporarySetShaderPreset(const NameString& preset, bool useCustom);
    void TemporarySetShaderPreset(const char* preset, bool useCustom);
    static void TemporarySetShaderPresetForAllMeshes(const NameString& preset, bool useCustom);
    static void ReturnAllMeshesToDefaultShaderPreset();
    static const NameString& GetGlobalShaderPreset();
    static void SetGlobalShaderPreset(const NameString& preset);
    uint8_t GetShaderPresetIndex() const { return m_presetIndex; }
    // Stores the "Shader preset" name and selects it, as a property write does.
    void SetShaderPreset(const NameString& name) { SetShaderPresetValue(name); }
    const NameString& GetShaderPresetName() const { return m_shaderPresetName; }
    // Stores the lightmap placement and hands it to the rendering context when there is one.
    void SetLightmapMapping(const LightmapMapping& mapping);
    const LightmapMapping& GetLightmapMapping() const { return m_lightmapMapping; }
    uint8_t GetCustomShaderPresetIndex() const { return m_customPresetIndex; }

    // After a template change: the hierarchy and the rendering context are rebuilt.
    void RefreshFromTemplate();
    void ResetAnimationTags();
    const DynarraySafe<NameString>& GetAnimationTags() const { return m_animationTags; }
    const EntityTemplate* GetAnimationTemplate() const { return m_animationTemplate; }
    MeshAnimator* GetAnimator() const { return m_animator; }

    // Hierarchy operations (MeshEntityHierarchy.cpp): each does nothing and gives its neutral result
    // without a hierarchy or a template skeleton.
    void Animate();
    void UpdateMountedObjects() { Animate(); }
    // Starts an animation of the template's list on the node "root"; an animation the template lacks
    // is reported unless the params' flags hold kQuietAnimationFlag.
    bool StartAnimation(const NameString& animation, const AnimationParams& params);
    bool StartAnimationOnNode(const NameString& node, const NameString& animation, const AnimationParams& params);
    void StopAllAnimations(const NameString& node, float blendOutTime);
    void StopAnimation(const NameString& node, const NameString& animation, float blendOutTime);
    bool SetAnimationSpeedMultiplier(const NameString& node, const NameString& animation, float multiplier);
    bool SetAnimationTimeFlags(const NameString& node, const NameString& animation, uint32_t flags);
    bool SetAnimationProgress(const NameString& node, const NameString& animation, float progress);
    float GetAnimationDrivenMovementSpeed() const;
    void SetTargetingAngles(float first, float second);
    bool MountEntity(const NameString& bone, Entity* child, const Matrix& offset, uint32_t flags);
    bool MountEntity(const NameString& subobject, const NameString& bone, Entity* child, const Matrix& offset,
                     uint32_t flags);
    bool SetMountedEntityOffset(Entity* child, const Matrix& offset);
    void UnmountEntity(Entity* child);
    int32_t GetHierarchySubobjectIndex(const NameString& name) const;
    Matrix GetLocalHierarchyPosition(const NameString& name) const;
    void GetGlobalHierarchyPosition(const NameString& name, Matrix& out) const;

private:
    void SetShaderPresetValue(const NameString& name);
    const NameString* GetShaderPresetValue() const { return &m_shaderPresetName; }
    void SetAnimationPresetValue(const NameString& name) { m_animationPresetName = name; }
    const NameString* GetAnimationPresetValue() const { return &m_animationPresetName; }
    void SetLocalColorValue(const HDRColor& color);
    const HDRColor* GetLocalColorValue() const { return &m_localColor; }

    // Rule D: the preset named, else "Default", else 0; the result goes to the context.
    void SelectPreset(const NameString& name);
    void SelectPresetIgnoringCase(const char* name);
    void ApplyPresetIndex(uint8_t index);
    void RebuildAnimationState();
    void ResolveAnimationTemplate();
    void MarkNavigationDirty();
    bool HasDynamicCollision() const;
    const MeshSkeleton* GetAnimationSet() const;

    HDRColor m_localColor = HDRColor(255, 255, 255, 255, 1.0f);
    float m_unknownScale = 1.0f;
    NameString m_shaderPresetName;
    NameString m_animationPresetName;
    MeshAnimator* m_animator = nullptr;
    DynarraySafe<NameString> m_animationTags;
    EntityTemplate* m_animationTemplate = nullptr;
    bool m_optimizable = true;
    LightmapMapping m_lightmapMapping;
    bool m_sleepOnInit = false;
    uint8_t m_presetIndex = 0;
    uint8_t m_customPresetIndex = kNoCustomPreset;
};
