// MeshEntity: the entity of a mesh template. It keeps the per-instance shader preset choice, colour,
// lightmap mapping and animation tags, its animator (MeshAnimator) built from the template's
// skeleton, and the mesh rendering context; the animation operations are in
// MeshEntityHierarchy.cpp. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/HDRColor.h"
#include "core/strings/NameString.h"
#include "effects/animation/MeshAnimator.h"
#include "renderer/LightmapMapping.h"
#include "scene/entities/Entity.h"

#include <cstdint>

class ProceduralTargetingAnimation;

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
    HDRColor GetEntityColor() const override { return m_localColor; }
    void RemoveChild(Entity* child) override;
    EntityRenderingContext* CreateRenderingContext() override;
    void UpdateTransform() override;
    void GetCollisionBounds(BoundingBox4& box) override;
    void OnFlag32Raised() override;
    void OnFlag32Cleared() override;
    // Box or triangle test by the template's collision type for the query (MeshEntityRayPick.cpp).
    bool RayPick(const Vector& start, const Vector& end, uint32_t flags, uint32_t mask, LOSResult& result) override;
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

    // Animation operations (MeshEntityHierarchy.cpp): each does nothing and gives its neutral result
    // without an animator or a template skeleton.
    // Poses the hierarchy for this tick and hands the skinning matrices to the rendering context.
    void Animate();
    void UpdateMountedObjects() { Animate(); }
    // Starts the template's animation of that name (ANIMFLAG_QUIET: no message when it is unknown) on
    // the tree node; null params are the defaults. True when an animation started or was reused.
    bool StartAnimation(const NameString& node, const NameString& animation, const AnimationParams* params);
    bool StartAnimationByIndex(const NameString& node, int32_t index, const AnimationParams* params);
    // Starts procedural aiming of the tree node's first bone (the flags as given, no fade-in); the
    // animator owns it. Null without an animator or for an unknown node (logged).
    ProceduralTargetingAnimation* StartProceduralTargetingAnimation(const NameString& node, uint32_t flags);
    // Per tree node and Id (-1 all); false for an unknown node.
    bool StopAnimation(const NameString& node, int32_t id, float seconds);
    bool StopAllAnimations(const NameString& node, float seconds);
    bool SetAnimationSpeedMultiplier(const NameString& node, int32_t id, float multiplier);
    bool SetAnimationTimeFlags(const NameString& node, int32_t id, uint32_t timeBits);
    bool SetAnimationProgress(const NameString& node, int32_t id, float progress);
    float GetAnimationDrivenMovementSpeed() const;
    void SetTargetingAngles(float horizontal, float vertical);
    int32_t GetTargetingModeIndex(const NameString& name) const;
    // Tags that select animation variants: added once, removed, or reset to the template's.
    void AddAnimationTag(const NameString& tag);
    void RemoveAnimationTag(const NameString& tag);
    // Mounting a child on a bone (by name or index); the child follows the bone with the offset.
    bool MountEntity(const NameString& bone, Entity* child, const Matrix& offset, uint32_t alignment);
    bool MountEntity(const NameString& subobject, const NameString& bone, Entity* child, const Matrix& offset,
                     uint32_t alignment);
    bool MountEntityToBone(int32_t bone, Entity* child, const Matrix& offset, uint32_t alignment);
    bool SetMountedEntityOffset(Entity* child, const Matrix& offset);
    // One child, or every mounted one for null.
    void UnmountEntity(Entity* child);
    int32_t GetHierarchySubobjectIndex(const NameString& name) const;
    // A bone's matrix in entity space in the current pose (identity for an unknown bone).
    Matrix GetLocalHierarchyPosition(const NameString& name) const;
    void GetGlobalHierarchyPosition(const NameString& name, Matrix& out) const;
    // World position of a bone's node in the current pose (the entity's position without animator).
    Vector GetGlobalHierarchyPositionVector(int32_t node) const;
    // The bone's rest matrix in model space (identity without skeleton).
    Matrix GetTemplateHierarchyPosition(const NameString& bone) const;
    // Replication: the first running animation of tree node 0 as the packed three-byte state, and
    // the received state or progress applied.
    uint32_t GetReplicatedEncAnimData() const;
    void ApplyReplicatedEncAnimData(uint32_t packed);
    void ApplyReplicatedAnimProgress(float progress);
    // Follows the mesh's animation into another entity's replicated fields: after every pose the
    // packed state goes to the animation field and the progress to the progress field (-1: none).
    // Where the source is a proxy the fields flow the other way: they hold what the peer sent, and
    // ApplyReplicatedAnimation plays it at the end of each frame. Null stops following.
    void SetAnimationSource(Entity* source, int32_t animationField, int32_t progressField);
    // A proxy source's received fields applied: the packed state, then the finer progress.
    void ApplyReplicatedAnimation();

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
    // The animator's pose skinned into the frame ring (reused within a frame); null when the mesh
    // is not skinned or the ring cannot hold it.
    const float* GetSkinnedPickingPositions();

    HDRColor m_localColor = HDRColor(255, 255, 255, 255, 1.0f);
    float m_unknownScale = 1.0f;
    NameString m_shaderPresetName;
    NameString m_animationPresetName;
    MeshAnimator* m_animator = nullptr;
    // The last replicated animation index applied (255 none) and progress received.
    uint8_t m_replicatedIndex = 255;
    float m_replicatedProgress = 0.0f;
    SafePointer<Entity> m_animationSource;
    int32_t m_animationSourceFields[2] = {-1, -1};
    DynarraySafe<NameString> m_animationTags;
    EntityTemplate* m_animationTemplate = nullptr;
    bool m_optimizable = true;
    LightmapMapping m_lightmapMapping;
    bool m_sleepOnInit = false;
    uint8_t m_presetIndex = 0;
    uint8_t m_customPresetIndex = kNoCustomPreset;
};
