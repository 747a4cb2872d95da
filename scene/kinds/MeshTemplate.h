// MeshTemplate: the template (type 1) of every visible, animated or collidable model. Besides its
// record it owns the body blocks read after it: the mesh data, the skeleton and four stored words.
// Its animation definitions, preset tree and overlay lists map names to preset indices
// (MeshTemplatePresets.cpp). Main thread; the resource thread reads the record and the body.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Quaternion.h"
#include "renderer/MeshFakeShadowDefinition.h"
#include "scene/kinds/MeshTemplateAnimation.h"
#include "scene/templates/EntityTemplate.h"

#include <cstdint>
#include <string>
#include <vector>

class MeshSkeleton;
class MeshTemplateRenderingData;

// One procedural targeting group: for the directions up, down, left and right the range of its
// entries, each a bone's rotation relative to the centre pose.
struct MeshTargetingRecord
{
    struct Entry
    {
        Quaternion rotation;
        NameString bone;
    };
    NameString name;
    uint32_t ranges[4][2] = {};
    std::vector<Entry> entries;
};

// Template of mesh entities.
class MeshTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(MeshTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 1;
    enum CollisionType : uint32_t
    {
        COLLISION_NONE = 0,
        COLLISION_BOX = 1,
        COLLISION_FACE = 2,
    };

    MeshTemplate();
    ~MeshTemplate() override;
    MeshTemplate(const MeshTemplate&) = delete;
    MeshTemplate& operator=(const MeshTemplate&) = delete;

    const char* GetTemplateClassName() const override { return "MeshTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "MeshEntity"; }
    void InvalidateSafePointers() override;
    void OnPropertyChanged(const RTTIProperty* property) override;
    void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const override;
    void OnPostLoad(uint32_t flags) override;
    // Requests the template named by "Animation source template".
    void PrepareDependencies() override;
    bool PrepareAnimationSource();
    // Draws the mesh with the named shader preset (preset 0 for an unknown or null name); false
    // without mesh data.
    bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, const char* presetName);
    bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t extra) override;
    bool DrawDebug(const Matrix& matrix, uint32_t flags) override;
    // Reads the blocks after the record for the given body version; false (logged) when one is cut
    // short, with the template keeping no half-read block.
    bool ReadBodyBlocks(RecordInput& in, uint32_t version) override;
    // The newest form: both presence bytes, the present blocks, the four stored words.
    void WriteBodyBlocks(RecordOutput& out) const override;
    // The resource side's body load: the base load, then the preset animations and targeting table.
    bool DoLoad() override;

    // Shader presets of the mesh data: by name ignoring case, or by the same interned name; -1 when
    // none matches or the template has no mesh data.
    int32_t GetShaderPresetIndexByName(const char* name) const;
    int32_t GetShaderPresetIndex(const NameString& name) const;

    // Preset index space (MeshTemplatePresets.cpp).
    void RecomputePresetIndices();
    int32_t GetAnimation(const NameString& animation, const NameString& preset) const;
    const MeshTemplateAnimationPreset* GetPreset(const NameString& animation, const NameString& preset) const;
    void BuildAnimationPreset(MeshTemplateAnimationPreset& out, int32_t index,
                              const DynarraySafe<NameString>& tags) const;
    void LoadPresetAnimations(bool load);
    void RebuildTargetingTable(bool loadSource);
    int32_t GetPresetSlotCount() const { return m_presetSlotCount; }
    int32_t GetPresetIndexEnd() const { return m_presetIndexEnd; }
    const std::vector<MeshTargetingRecord>& GetTargetingTable() const { return m_targetingTable; }

    // Bone lookups on a skeleton (none gives -1 and no names).
    static int32_t FindBoneIndex(const MeshSkeleton* skeleton, const NameString& name);
    static void ListBones(const MeshSkeleton* skeleton, DynarraySafe<NameString>& names, bool skipUnmapped);
    void RecomputeHeadBones();
    void RecomputeCollisionBox();

    const MeshTemplateRenderingData* GetRenderingData() const { return m_renderingData; }
    const MeshSkeleton* GetSkeleton() const { return m_skeleton; }
    const BoundingBox4& GetEffectiveCollisionBox() const { return m_effectiveCollisionBox; }
    const BoundingBox4& GetCollisionBoundingBox() const { return m_collisionBox; }
    uint32_t GetPlayerCollisionType() const { return m_playerCollisionType; }
    uint32_t GetRoughLOSCollisionType() const { return m_roughLOSCollisionType; }
    uint32_t GetExactLOSCollisionType() const { return m_exactLOSCollisionType; }
    uint32_t GetLOSMask() const { return m_losMask; }
    bool HasDynamicPlayerCollision() const { return m_dynamicPlayerCollision; }
    bool IsOptimizableMesh() const { return m_optimizableMesh; }
    const NameString& GetAnimationSourceTemplate() const { return m_animationSourceTemplate; }
    const MeshTemplateAnimationPresetTree& GetPresetTree() const { return m_presetTree; }
    const DynarraySafe<MeshTemplateAnimationDefinition>& GetAnimations() const { return m_animations; }
    const Dynarray<MeshTemplateAnimationOverlayList*>& GetOverlayLists() const { return m_overlayLists; }
    const DynarraySafe<NameString>& GetBaseAnimationTags() const { return m_baseAnimationTags; }
    const MeshFakeShadowDefinition& GetFakeShadow() const { return m_fakeShadow; }
    MeshFakeShadowDefinition& EditFakeShadow() { return m_fakeShadow; }
    float GetAnimationScale() const { return m_animationScale; }
    int32_t GetHeadBoneIndex(int head) const { return m_headBone[head]; }
    const Vector& GetHeadBonePosition(int head) const { return m_headPosition[head]; }
    const uint32_t (&GetStoredWords() const)[4] { return m_storedWords; }

    void SetHeadABone(const NameString& name);
    void SetHeadBBone(const NameString& name);
    const NameString* GetHeadABone() const { return &m_headBoneName[0]; }
    const NameString* GetHeadBBone() const { return &m_headBoneName[1]; }

    // Builders for tools and tests: take ownership.
    void SetRenderingData(MeshTemplateRenderingData* data);
    void SetSkeleton(MeshSkeleton* skeleton);
    void SetStoredWords(const uint32_t (&words)[4]);
    DynarraySafe<MeshTemplateAnimationDefinition>& EditAnimations() { return m_animations; }
    Dynarray<MeshTemplateAnimationOverlayList*>& EditOverlayLists() { return m_overlayLists; }
    MeshTemplateAnimationPresetTree& EditPresetTree() { return m_presetTree; }

private:
    const MeshTemplateAnimationDefinition* FindDefinition(const NameString& name) const;
    int32_t FindOverlayList(const NameString& name) const;

    std::string m_importedFromFile;
    bool m_optimizableMesh = true;
    uint32_t m_playerCollisionType = COLLISION_NONE;
    bool m_dynamicPlayerCollision = false;
    BoundingBox4 m_collisionBox;
    Vector m_collisionBoxScale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    Vector m_collisionBoxOffset;
    uint32_t m_roughLOSCollisionType = COLLISION_NONE;
    uint32_t m_exactLOSCollisionType = COLLISION_NONE;
    uint32_t m_losMask = 0;
    bool m_expandsWalkableArea = false;
    uint32_t m_physicsLoadingBehavior = 0;
    float m_physicsDensity = 7000.0f;
    float m_physicsRestitution = 0.2f;
    float m_physicsAngularDamping = 0.05f;
    float m_physicsLinearDamping = 0.0f;
    float m_physicsStaticFriction = 0.9f;
    float m_physicsDynamicFriction = 0.9f;
    std::string m_animationTreeDefinition;
    NameString m_animationDrivingBone;
    NameString m_animationSourceTemplate;
    MeshTemplateAnimationPresetTree m_presetTree;
    DynarraySafe<MeshTemplateAnimationDefinition> m_animations;
    Dynarray<MeshTemplateAnimationOverlayList*> m_overlayLists;
    float m_animationScale = 1.0f;
    MeshFakeShadowDefinition m_fakeShadow;
    NameString m_headBoneName[2];
    DynarraySafe<NameString> m_baseAnimationTags;

    MeshTemplateRenderingData* m_renderingData = nullptr;
    MeshSkeleton* m_skeleton = nullptr;
    int32_t m_headBone[2] = {-1, -1};
    Vector m_headPosition[2];
    BoundingBox4 m_effectiveCollisionBox;
    int32_t m_presetSlotCount = 0;
    int32_t m_presetIndexEnd = 0;
    std::vector<MeshTargetingRecord> m_targetingTable;
    // Kept only in the body; the last one is a float's bits.
    uint32_t m_storedWords[4] = {};
};
