#include "scene/kinds/MeshTemplate.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"
#include "core/strings/StringUtils.h"
#include "effects/animation/AnimationTreeDefinition.h"
#include "effects/SFXEntity.h"
#include "effects/animation/MeshSkeleton.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/templates/TemplateManager.h"

#include <memory>

namespace
{
const char* const kCollisionNames[] = {"None", "Box", "Face", nullptr};
const char* const kPhysicsLoadingNames[] = {"Load as static body", "Load as dynamic body", "Don't load with scene",
                                            nullptr};
constexpr uint32_t kHeadBoneFlags = 0x8080;
} // namespace

RTTI_DEFINE_CLASS(MeshTemplate, EntityTemplate)

void MeshTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MeshTemplate;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Imported from file", &C::m_importedFromFile, 1));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Optimizable mesh", &C::m_optimizableMesh));
    table.AddProperty(new RTTIPropertyGroup("Physics"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Player collision type", &C::m_playerCollisionType,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kCollisionNames);
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Dynamic player collision", &C::m_dynamicPlayerCollision));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, BoundingBox4>("Collision bounding box", &C::m_collisionBox, 2));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Collision box scale", &C::m_collisionBoxScale, 64));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, Vector>("Collision box offset", &C::m_collisionBoxOffset, 64));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(
                          "Rough LOS collision type", &C::m_roughLOSCollisionType, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kCollisionNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(
                          "Exact LOS collision type", &C::m_exactLOSCollisionType, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kCollisionNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("LOS mask", &C::m_losMask, 512));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Expands walkable area", &C::m_expandsWalkableArea));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(
                          "PhysX scene loading behavior", &C::m_physicsLoadingBehavior, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kPhysicsLoadingNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("PhysX density (kg/m3)", &C::m_physicsDensity));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("PhysX restitution", &C::m_physicsRestitution));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("PhysX angular damping", &C::m_physicsAngularDamping));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("PhysX linear damping", &C::m_physicsLinearDamping));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("PhysX static friction", &C::m_physicsStaticFriction));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("PhysX dynamic friction", &C::m_physicsDynamicFriction));
    table.AddProperty(new RTTIPropertyGroup("Animation"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Animation tree definition",
                                                                        &C::m_animationTreeDefinition, 256));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, NameString>("Animation driving bone", &C::m_animationDrivingBone));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, NameString>("Animation source template", &C::m_animationSourceTemplate));
    table.AddProperty(
        new RTTIEmbeddedObjectProperty<C, MeshTemplateAnimationPresetTree>("Preset tree", &C::m_presetTree));
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, MeshTemplateAnimationDefinition>("Animations", &C::m_animations));
    table.AddProperty(new RTTIDynarrayOfPolyObjectPointersProperty<C, MeshTemplateAnimationOverlayList>(
        "OverlaysList", &C::m_overlayLists));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("XSI animation scale", &C::m_animationScale, 2));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, MeshFakeShadowDefinition>("FakeShadow", &C::m_fakeShadow));
    table.AddProperty(
        new RTTISGProperty<C, NameString>("HeadA bone", &C::SetHeadABone, &C::GetHeadABone, kHeadBoneFlags));
    table.AddProperty(
        new RTTISGProperty<C, NameString>("HeadB bone", &C::SetHeadBBone, &C::GetHeadBBone, kHeadBoneFlags));
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("Base animations tags",
                                                                                        &C::m_baseAnimationTags));
}

MeshTemplate::MeshTemplate()
    : m_collisionBox(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f))
{
    SetTypeId(kTypeId);
    RecomputeCollisionBox();
}

MeshTemplate::~MeshTemplate()
{
    SetRenderingData(nullptr);
    SetSkeleton(nullptr);
    m_overlayLists.DeleteAllPointers();
}

Entity* MeshTemplate::CreateEntity()
{
    return new MeshEntity;
}

void MeshTemplate::InvalidateSafePointers()
{
    EntityTemplate::InvalidateSafePointers();
    for (MeshTemplateAnimationOverlayList* list : m_overlayLists)
        if (list != nullptr)
            list->InvalidateSafePointers();
}

void MeshTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    EntityTemplate::OnPropertyChanged(property);
    if (m_skeleton != nullptr)
    {
        AnimationTreeDefinition::Parse(*m_skeleton, m_animationTreeDefinition.c_str(), GetFileName());
        for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
            if (MeshEntity* const mesh = entity->GetTemplate() == this ? dynamic_cast<MeshEntity*>(entity) : nullptr)
                mesh->RefreshFromTemplate();
    }
    RebuildTargetingTable(true);
    OnPostLoad(0);
    // Effects that show this mesh re-link to its data.
    for (Entity* entity = Entity::GetFirstLiveEntity(); entity != nullptr; entity = entity->GetNextLiveEntity())
        if (SFXEntity* const effect = dynamic_cast<SFXEntity*>(entity))
            effect->PostContextSubOp16(this);
}

void MeshTemplate::OnPostLoad(uint32_t flags)
{
    EntityTemplate::OnPostLoad(flags);
    RecomputeCollisionBox();
    for (MeshTemplateAnimationDefinition& definition : m_animations)
        definition.m_owner = this;
    RecomputePresetIndices();
}

void MeshTemplate::GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const
{
    if (StrICmp(propertyName, "HeadA bone") != 0 && StrICmp(propertyName, "HeadB bone") != 0)
    {
        EntityTemplate::GetPropertyChoices(propertyName, choices);
        return;
    }
    choices.Clear();
    ListBones(m_skeleton, choices, true);
    choices.Add(NameString());
}

void MeshTemplate::PrepareDependencies()
{
    PrepareAnimationSource();
}

bool MeshTemplate::PrepareAnimationSource()
{
    return !m_animationSourceTemplate.IsEmpty() &&
           gTemplateManager.RequestTemplateByName(m_animationSourceTemplate.CStr());
}

bool MeshTemplate::DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, const char* presetName)
{
    if (m_renderingData == nullptr)
        return false;
    const int32_t preset = presetName != nullptr ? GetShaderPresetIndexByName(presetName) : -1;
    Vector colorVector;
    color.ToVector(colorVector);
    if (gRenderer != nullptr)
        gRenderer->DrawMesh(m_renderingData, matrix, Matrix::ONE, GetStaticBoundingBox(), colorVector,
                            uint32_t(preset < 0 ? 0 : preset), (flags & 4) != 0 ? 1 : 0, nullptr, 0);
    return true;
}

bool MeshTemplate::DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t)
{
    return DrawDebugShape(matrix, color, flags, static_cast<const char*>(nullptr));
}

bool MeshTemplate::DrawDebug(const Matrix& matrix, uint32_t flags)
{
    const HDRColor white(255, 255, 255, 255, 1.0f);
    return DrawDebugShape(matrix, (flags & 2) != 0 ? white : GetWireframeColor(), flags,
                          static_cast<const char*>(nullptr));
}

bool MeshTemplate::ReadBodyBlocks(RecordInput& in, uint32_t version)
{
    uint8_t hasRenderingData = 1;
    uint8_t hasSkeleton = 0;
    std::unique_ptr<MeshTemplateRenderingData> renderingData;
    std::unique_ptr<MeshSkeleton> skeleton;
    uint32_t words[4] = {};
    bool read = version < 2 || in.ReadU8(hasRenderingData);
    if (read && hasRenderingData != 0)
    {
        renderingData = std::make_unique<MeshTemplateRenderingData>();
        read = renderingData->Load(in, version, GetFileName());
    }
    read = read && (version < 8 || in.ReadU8(hasSkeleton));
    if (read && hasSkeleton != 0)
    {
        skeleton = std::make_unique<MeshSkeleton>();
        read = skeleton->Read(in, version);
    }
    read = read && (version < 42 || (in.ReadU32(words[0]) && in.ReadU32(words[1])));
    read = read && (version < 47 || (in.ReadU32(words[2]) && in.ReadU32(words[3])));
    if (!read)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mesh template %s: body of version %u is cut short", GetFileName(),
                       version);
        return false;
    }
    SetRenderingData(renderingData.release());
    SetSkeleton(skeleton.release());
    SetStoredWords(words);
    return true;
}

void MeshTemplate::WriteBodyBlocks(RecordOutput& out) const
{
    out.WriteU8(m_renderingData != nullptr ? 1 : 0);
    if (m_renderingData != nullptr)
        m_renderingData->Save(out);
    out.WriteU8(m_skeleton != nullptr ? 1 : 0);
    if (m_skeleton != nullptr)
        m_skeleton->Write(out);
    for (uint32_t word : m_storedWords)
        out.WriteU32(word);
}

bool MeshTemplate::DoLoad()
{
    if (!EntityTemplate::DoLoad())
        return false;
    LoadPresetAnimations(false);
    RebuildTargetingTable(false);
    return true;
}

int32_t MeshTemplate::GetShaderPresetIndexByName(const char* name) const
{
    if (m_renderingData == nullptr || name == nullptr)
        return -1;
    for (uint32_t i = 0; i < m_renderingData->GetPresetCount(); ++i)
        if (StrICmp(m_renderingData->GetPreset(i).name.CStr(), name) == 0)
            return int32_t(i);
    return -1;
}

int32_t MeshTemplate::GetShaderPresetIndex(const NameString& name) const
{
    if (m_renderingData == nullptr || name.IsEmpty())
        return -1;
    for (uint32_t i = 0; i < m_renderingData->GetPresetCount(); ++i)
        if (m_renderingData->GetPreset(i).name == name)
            return int32_t(i);
    return -1;
}

int32_t MeshTemplate::FindBoneIndex(const MeshSkeleton* skeleton, const NameString& name)
{
    if (skeleton == nullptr)
        return -1;
    for (uint32_t i = 0; i < skeleton->GetBoneCount(); ++i)
        if (skeleton->GetBone(i).name == name)
            return int32_t(i);
    return -1;
}

void MeshTemplate::ListBones(const MeshSkeleton* skeleton, DynarraySafe<NameString>& names, bool skipUnmapped)
{
    if (skeleton == nullptr)
        return;
    for (uint32_t i = 0; i < skeleton->GetBoneCount(); ++i)
    {
        const MeshSkeletonBone& bone = skeleton->GetBone(i);
        if (!bone.name.IsEmpty() && (!skipUnmapped || bone.skinIndex != MeshSkeleton::kNoBone))
            names.Add(bone.name);
    }
}

void MeshTemplate::RecomputeHeadBones()
{
    for (int head = 0; head < 2; ++head)
    {
        m_headBone[head] = -1;
        m_headPosition[head] = Vector();
        const int32_t bone = FindBoneIndex(m_skeleton, m_headBoneName[head]);
        if (m_headBoneName[head].IsEmpty() || bone < 0)
            continue;
        // A fresh animation state stands in the rest pose, so the bone's rest model matrix is its
        // global matrix; the animation scale applies to positions.
        const Matrix model = m_skeleton->GetRestModelMatrix(bone);
        m_headPosition[head] = Vector(model.rows[3].x * m_animationScale, model.rows[3].y * m_animationScale,
                                      model.rows[3].z * m_animationScale, 1.0f);
        m_headBone[head] = int8_t(m_skeleton->GetBone(uint32_t(bone)).skinIndex);
    }
    for (int head = 0; head < 2; ++head)
    {
        m_fakeShadow.m_headPoint[head] = m_headPosition[head];
        m_fakeShadow.m_headBone[head] = m_headBone[head];
    }
}

void MeshTemplate::RecomputeCollisionBox()
{
    const Vector& scale = m_collisionBoxScale;
    const Vector& offset = m_collisionBoxOffset;
    const Vector& min = m_collisionBox.min;
    const Vector& max = m_collisionBox.max;
    m_effectiveCollisionBox.min = Vector(min.x * scale.x + offset.x, min.y * scale.y + offset.y,
                                         min.z * scale.z + offset.z, min.w * scale.w + offset.w);
    m_effectiveCollisionBox.max = Vector(max.x * scale.x + offset.x, max.y * scale.y + offset.y,
                                         max.z * scale.z + offset.z, max.w * scale.w + offset.w);
}

void MeshTemplate::SetHeadABone(const NameString& name)
{
    m_headBoneName[0] = name;
    RecomputeHeadBones();
}

void MeshTemplate::SetHeadBBone(const NameString& name)
{
    m_headBoneName[1] = name;
    RecomputeHeadBones();
}

void MeshTemplate::SetRenderingData(MeshTemplateRenderingData* data)
{
    // Without a renderer no command can still read the data, so it goes at once.
    if (m_renderingData != nullptr && m_renderingData != data)
    {
        if (gRenderer != nullptr)
            NorvexRendererObject::PostDeletion(m_renderingData, false, false);
        else
            delete m_renderingData;
    }
    m_renderingData = data;
}

void MeshTemplate::SetSkeleton(MeshSkeleton* skeleton)
{
    if (m_skeleton != skeleton)
        delete m_skeleton;
    m_skeleton = skeleton;
    RecomputeHeadBones();
}

void MeshTemplate::SetStoredWords(const uint32_t (&words)[4])
{
    for (int i = 0; i < 4; ++i)
        m_storedWords[i] = words[i];
}
