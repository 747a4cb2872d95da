#include "scene/kinds/MeshEntity.h"

#include "core/strings/StringUtils.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "engine/Game.h"
#include "gameplay/navigation/NavigationGrid.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/TemplateManager.h"

#include <algorithm>
#include <cstring>

namespace
{
NameString gGlobalShaderPreset;
const NameString& DefaultPresetName()
{
    static const NameString name("Default");
    return name;
}
} // namespace

RTTI_DEFINE_CLASS_TABLE(MeshEntity, Entity)

void MeshEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshEntity;
    table.AddProperty(new RTTISGProperty<C, NameString>("Shader preset", &C::SetShaderPresetValue,
                                                        &C::GetShaderPresetValue, RTTI_PROPERTY_ENUMERATION));
    table.AddProperty(new RTTISGProperty<C, NameString>("Animation preset", &C::SetAnimationPresetValue,
                                                        &C::GetAnimationPresetValue, RTTI_PROPERTY_ENUMERATION));
    table.AddProperty(new RTTISGProperty<C, HDRColor>("Local color", &C::SetLocalColorValue, &C::GetLocalColorValue));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Optimizable", &C::m_optimizable));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, LightmapMapping>("LmMapping", &C::m_lightmapMapping, 2));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Put PhysX body to sleep on init", &C::m_sleepOnInit));
}

MeshEntity::MeshEntity() = default;

MeshEntity::~MeshEntity()
{
    delete m_animator;
    m_animator = nullptr;
    gGame.GetEntityLists().RemoveTickAnimatedEntity(this);
    MarkNavigationDirty();
    if (m_animationTemplate != nullptr)
        m_animationTemplate->Release();
}

const MeshTemplate* MeshEntity::GetMeshTemplate() const
{
    return dynamic_cast<const MeshTemplate*>(GetTemplate());
}

MeshEntityRenderingContext* MeshEntity::GetMeshRenderingContext() const
{
    return dynamic_cast<MeshEntityRenderingContext*>(GetRenderingContext());
}

const MeshSkeleton* MeshEntity::GetAnimationSet() const
{
    const MeshTemplate* const source = GetMeshTemplate();
    return source != nullptr ? source->GetSkeleton() : nullptr;
}

void MeshEntity::GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const
{
    const MeshTemplate* const source = GetMeshTemplate();
    if (std::strcmp(propertyName, "Shader preset") == 0)
    {
        const MeshTemplateRenderingData* data = source != nullptr ? source->GetRenderingData() : nullptr;
        for (uint32_t i = 0; data != nullptr && i < data->GetPresetCount(); ++i)
            choices.Add(data->GetPreset(i).name);
        return;
    }
    if (std::strcmp(propertyName, "Animation preset") == 0)
    {
        choices.Add(DefaultPresetName());
        if (source != nullptr)
            for (const MeshTemplateAnimationPresetNode& node : source->GetPresetTree().m_nodes)
                choices.Add(node.m_name);
        return;
    }
    Entity::GetPropertyChoices(propertyName, choices);
}

void MeshEntity::InitFromTemplate(EntityTemplate* entityTemplate, uint32_t creationFlags)
{
    Entity::InitFromTemplate(entityTemplate, creationFlags);
    RebuildAnimationState();
    if (!gGlobalShaderPreset.IsEmpty())
        SelectPreset(gGlobalShaderPreset);
    ResolveAnimationTemplate();
    ResetAnimationTags();
}

void MeshEntity::ChangeTemplate(EntityTemplate* entityTemplate)
{
    Entity::ChangeTemplate(entityTemplate);
    RebuildAnimationState();
}

void MeshEntity::ResetBoundsFromTemplate(const char* propertyName)
{
    Entity::ResetBoundsFromTemplate(propertyName);
    ResolveAnimationTemplate();
}

void MeshEntity::PostCreateInit()
{
    Entity::PostCreateInit();
    NavigationGrid* const grid = gEntityManager.GetNavigationGrid();
    if (HasDynamicCollision() && grid != nullptr)
        grid->AddDynamicCollisionMesh(this);
}

void MeshEntity::OnFrameHook(uint32_t)
{
    Animate();
}

void MeshEntity::DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color)
{
    const MeshTemplate* const source = GetMeshTemplate();
    if (source != nullptr && source->GetPlayerCollisionType() != MeshTemplate::COLLISION_NONE && gRenderer != nullptr)
        gRenderer->DebugDrawBox(source->GetEffectiveCollisionBox(), GetGlobalLocationMatrix(),
                                Vector(0.0f, 1.0f, 0.0f, 0.0f));
    Entity::DebugDrawBoundingBox(box, color);
}

void MeshEntity::RemoveChild(Entity* child)
{
    if (m_animator != nullptr && m_animator->GetMountedBone(child) >= 0)
        m_animator->UnmountEntity(child);
    Entity::RemoveChild(child);
}

EntityRenderingContext* MeshEntity::CreateRenderingContext()
{
    const MeshTemplate* const source = GetMeshTemplate();
    const MeshTemplateRenderingData* const data = source != nullptr ? source->GetRenderingData() : nullptr;
    // 0x200 is left as it was: only the three pass flags are the data's to clear.
    uint32_t flags = GetRenderFlags() & ~uint32_t(0x20 | 0x40 | 0x80);
    for (uint32_t i = 0; data != nullptr && i < 4; ++i)
        if (data->GetRenderSwitch(i))
            flags |= kSwitchRenderFlags[i];
    SetRenderFlags(flags);
    if (gRenderer == nullptr)
        return nullptr;
    Vector color;
    m_localColor.ToVector(color);
    auto* context = new MeshEntityRenderingContext(*gRenderer, data, m_presetIndex, color, m_lightmapMapping);
    if (source != nullptr && source->GetFakeShadow().m_enabled)
        context->SetFakeShadowDefinition(&source->GetFakeShadow());
    return context;
}

void MeshEntity::UpdateTransform()
{
    Entity::UpdateTransform();
    MarkNavigationDirty();
}

void MeshEntity::GetCollisionBounds(BoundingBox4& box)
{
    // A world box that places the entity nowhere (its local box is empty) stays so: the collision
    // boxes only grow a box that is there.
    const MeshTemplate* const source = GetMeshTemplate();
    if (source == nullptr || !box.IsValid3())
        return;
    box.Expand3D(source->GetEffectiveCollisionBox(), GetGlobalLocationMatrix());
    box.Expand3D(source->GetCollisionBoundingBox(), GetGlobalLocationMatrix());
}

void MeshEntity::OnFlag32Raised()
{
    MarkNavigationDirty();
}

void MeshEntity::OnFlag32Cleared()
{
    MarkNavigationDirty();
}

bool MeshEntity::IsOptimizable() const
{
    const MeshTemplate* const source = GetMeshTemplate();
    return m_optimizable && std::strcmp(GetClassProperties()->GetClassName(), "MeshEntity") == 0 &&
           source != nullptr && source->IsOptimizableMesh();
}

void MeshEntity::SetLocalColor(const HDRColor& color)
{
    m_localColor = color;
    if (MeshEntityRenderingContext* const context = GetMeshRenderingContext())
    {
        Vector value;
        color.ToVector(value);
        context->SetColorMultiplier(value);
    }
}

void MeshEntity::SetLightmapMapping(const LightmapMapping& mapping)
{
    m_lightmapMapping.m_uvMulAdd = mapping.m_uvMulAdd;
    m_lightmapMapping.m_lightmapId = mapping.m_lightmapId;
    if (MeshEntityRenderingContext* const context = GetMeshRenderingContext())
        context->SetLightmapMapping(m_lightmapMapping);
}

void MeshEntity::SetLocalColorValue(const HDRColor& color)
{
    if (color.r != m_localColor.r || color.g != m_localColor.g || color.b != m_localColor.b ||
        color.a != m_localColor.a || color.multiplier != m_localColor.multiplier)
        SetLocalColor(color);
}

void MeshEntity::SetFakeShadowStrength(float strength)
{
    if (MeshEntityRenderingContext* const context = GetMeshRenderingContext())
        context->SetFakeShadowStrength(strength);
}

void MeshEntity::SetEntityOutlineState(int32_t state)
{
    if (MeshEntityRenderingContext* const context = GetMeshRenderingContext())
        context->SetOutlineState(uint8_t(state));
}

const BoundingBox4& MeshEntity::GetLocalCollisionBoundingBox() const
{
    const MeshTemplate* const source = GetMeshTemplate();
    return source != nullptr ? source->GetEffectiveCollisionBox() : BoundingBox4::INVALID;
}

bool MeshEntity::HasShaderPreset(const NameString& name) const
{
    const MeshTemplate* const source = GetMeshTemplate();
    return source != nullptr && source->GetShaderPresetIndex(name) >= 0;
}

void MeshEntity::SetCustomTemporaryShaderPreset(const char* name)
{
    const MeshTemplate* const source = GetMeshTemplate();
    const int32_t index = source != nullptr ? source->GetShaderPresetIndexByName(name) : -1;
    m_customPresetIndex = index >= 0 && index < kNoCustomPreset ? uint8_t(index) : kNoCustomPreset;
}

void MeshEntity::TemporarySetShaderPreset(const NameString& preset, bool useCustom)
{
    if (useCustom && m_customPresetIndex < kNoCustomPreset)
        ApplyPresetIndex(m_customPresetIndex);
    else
        SelectPreset(preset);
}

void MeshEntity::TemporarySetShaderPreset(const char* preset, bool useCustom)
{
    if (useCustom && m_customPresetIndex < kNoCustomPreset)
        ApplyPresetIndex(m_customPresetIndex);
    else
        SelectPresetIgnoringCase(preset);
}

void MeshEntity::TemporarySetShaderPresetForAllMeshes(const NameString& preset, bool useCustom)
{
    gGlobalShaderPreset = preset;
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
    {
        MeshEntity* const mesh = entity->IsKindOf(ENTITY_MESH) ? dynamic_cast<MeshEntity*>(entity) : nullptr;
        if (mesh == nullptr)
            continue;
        if (useCustom && mesh->m_customPresetIndex < kNoCustomPreset)
        {
            mesh->ApplyPresetIndex(mesh->m_customPresetIndex);
            continue;
        }
        const MeshTemplate* const source = mesh->GetMeshTemplate();
        const int32_t index = source != nullptr ? source->GetShaderPresetIndexByName(preset.CStr()) : -1;
        if (index >= 0)
            mesh->ApplyPresetIndex(uint8_t(index));
    }
}

void MeshEntity::ReturnAllMeshesToDefaultShaderPreset()
{
    gGlobalShaderPreset = NameString();
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        if (MeshEntity* const mesh = entity->IsKindOf(ENTITY_MESH) ? dynamic_cast<MeshEntity*>(entity) : nullptr)
            mesh->SelectPreset(mesh->m_shaderPresetName);
}

const NameString& MeshEntity::GetGlobalShaderPreset()
{
    return gGlobalShaderPreset;
}

void MeshEntity::SetGlobalShaderPreset(const NameString& preset)
{
    gGlobalShaderPreset = preset;
}

void MeshEntity::SetShaderPresetValue(const NameString& name)
{
    m_shaderPresetName = name;
    SelectPreset(name);
}

void MeshEntity::SelectPreset(const NameString& name)
{
    const MeshTemplate* const source = GetMeshTemplate();
    int32_t index = source != nullptr ? source->GetShaderPresetIndex(name) : -1;
    if (index < 0 && source != nullptr)
        index = source->GetShaderPresetIndex(DefaultPresetName());
    ApplyPresetIndex(uint8_t(index < 0 ? 0 : index));
}

void MeshEntity::SelectPresetIgnoringCase(const char* name)
{
    const MeshTemplate* const source = GetMeshTemplate();
    int32_t index = source != nullptr ? source->GetShaderPresetIndexByName(name) : -1;
    if (index < 0 && source != nullptr)
        index = source->GetShaderPresetIndexByName("Default");
    ApplyPresetIndex(uint8_t(index < 0 ? 0 : index));
}

void MeshEntity::ApplyPresetIndex(uint8_t index)
{
    m_presetIndex = index;
    if (MeshEntityRenderingContext* const context = GetMeshRenderingContext())
        context->SetShaderPresetIndex(index);
}

void MeshEntity::RebuildAnimationState()
{
    delete m_animator;
    m_animator = nullptr;
    ClearFlag(ENTITYFLAG_ANIMATED, false);
    const MeshSkeleton* const skeleton = GetAnimationSet();
    if (skeleton == nullptr || skeleton->GetBoneCount() == 0)
    {
        gGame.GetEntityLists().RemoveTickAnimatedEntity(this);
        return;
    }
    m_animator = new MeshAnimator(this, skeleton->GetSkinMatrixCount(),
                                  std::max<uint32_t>(1, uint32_t(skeleton->GetTreeNodes().size())));
    m_replicatedIndex = 255;
    RaiseFlag(ENTITYFLAG_ANIMATED, false);
    // A mesh with a hierarchy is posed after every logic tick, so scripts read this tick's bones.
    gGame.GetEntityLists().AddTickAnimatedEntity(this);
}

void MeshEntity::ResolveAnimationTemplate()
{
    if (m_animationTemplate != nullptr)
        m_animationTemplate->Release();
    m_animationTemplate = nullptr;
    const MeshTemplate* const source = GetMeshTemplate();
    if (source != nullptr && !source->GetAnimationSourceTemplate().IsEmpty())
    {
        EntityTemplate* const named = gTemplateManager.GetTemplate(source->GetAnimationSourceTemplate().CStr(), true);
        if (named != nullptr && named->IsLoaded())
            m_animationTemplate = named;
    }
    if (m_animationTemplate == nullptr)
        m_animationTemplate = GetTemplate();
    if (m_animationTemplate != nullptr)
        m_animationTemplate->AddRef();
}

void MeshEntity::ResetAnimationTags()
{
    m_animationTags.Clear();
    const MeshTemplate* const source = GetMeshTemplate();
    if (source != nullptr)
        for (const NameString& tag : source->GetBaseAnimationTags())
            m_animationTags.Add(tag);
}

void MeshEntity::RefreshFromTemplate()
{
    // The rebuilt hierarchy starts without mounts. Children still here go back on their bones by
    // name, as an edit may have reordered or renamed the bones; one whose bone is gone stays off.
    std::vector<MountedEntityRecord> mounts;
    if (m_animator != nullptr)
        mounts = m_animator->GetMounts();
    RebuildAnimationState();
    if (m_animator != nullptr && GetAnimationSet() != nullptr)
        for (const MountedEntityRecord& mount : mounts)
            if (Entity* const child = mount.entity.Get();
                child != nullptr && child->GetParent() == this && !mount.boneName.IsEmpty())
                MountEntity(mount.boneName, child, mount.offset, mount.alignment);
    if (GetRenderingContext() != nullptr)
        RecreateRenderingContext(true);
}

void MeshEntity::MarkNavigationDirty()
{
    NavigationGrid* const grid = gEntityManager.GetNavigationGrid();
    if (grid != nullptr && HasDynamicCollision())
        grid->SetDirty();
}

bool MeshEntity::HasDynamicCollision() const
{
    const MeshTemplate* const source = GetMeshTemplate();
    return source != nullptr && source->HasDynamicPlayerCollision();
}
