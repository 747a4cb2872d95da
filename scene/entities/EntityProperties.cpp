// The reflected property table of Entity (what scene records store for every entity, in this
// order) and the mount-to-bone properties. Main thread only.
#include "scene/entities/Entity.h"

#include "core/console/GameConsole.h"
#include "core/reflection/EntityReferences.h"
#include "effects/animation/MeshAnimator.h"
#include "scene/kinds/MeshEntity.h"

namespace
{
const char* const kRenderingPassNames[] = {"Pass 0", "Pass 1", "Pass 2", "Pass 3", nullptr};
const char* const kViewSettingNames[] = {"Template default", "True", "False", nullptr};

// Property flag words as the records and editors know them.
constexpr uint32_t kFlagsEditorHidden = 2;
constexpr uint32_t kFlagsDerivedVector = 0x6440;
constexpr uint32_t kFlagsRandomId = 5;
constexpr uint32_t kFlagsRenderFlags = 0x2002;
constexpr uint32_t kFlagsMountBone = 0x8080;
constexpr uint32_t kFlagsMountVector = 0x6040;

const EntityMountRecord kDefaultMount;
} // namespace

RTTI_DEFINE_CLASS_TABLE(Entity, RTTIPolyBaseClass)

void Entity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = Entity;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Flags", &C::m_flags, kFlagsEditorHidden));
    table.AddProperty(new RTTISGTextProperty<C>("Name", &C::SetName, &C::GetNameValue));
    table.AddProperty(new RTTISGProperty<C, SimpleGUID>("GUID", &C::SetGUIDValue, &C::GetGUIDValue, RTTI_PROPERTY_SKIPPABLE));
    table.AddProperty(new RTTIEntityPointerProperty<C, Entity>("Parent entity", &C::SetParentValue, &C::GetParentValue));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Rendering pass", &C::m_renderingPass,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kRenderingPassNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Sort offset", &C::m_sortOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Sort offset from Template", &C::m_sortOffsetFromTemplate));

    table.AddProperty(new RTTIPropertyGroup("Location"));
    table.AddProperty(
        new RTTISGProperty<C, Matrix>("Local location matrix", &C::SetLocalMatrixValue, &C::GetLocalMatrixValue));
    table.AddProperty(new RTTISGProperty<C, Vector>("Local position", &C::SetLocalPositionValue,
                                                    &C::GetLocalPositionValue, kFlagsDerivedVector));
    table.AddProperty(new RTTISGProperty<C, Vector>("Local rotation", &C::SetLocalRotationValue,
                                                    &C::GetLocalRotationValue, kFlagsDerivedVector));
    table.AddProperty(new RTTISGProperty<C, Vector>("Local scale", &C::SetLocalScaleValue, &C::GetLocalScaleValue,
                                                    kFlagsDerivedVector));
    table.AddProperty(new RTTISGProperty<C, Vector>("Global position", &C::SetGlobalPositionValue,
                                                    &C::GetGlobalPositionValue, kFlagsDerivedVector));
    table.AddProperty(new RTTISGProperty<C, Vector>("Global rotation", &C::SetGlobalRotationValue,
                                                    &C::GetGlobalRotationValue, kFlagsDerivedVector));
    table.AddProperty(new RTTISGProperty<C, Vector>("Global scale", &C::SetGlobalScaleValue, &C::GetGlobalScaleValue,
                                                    kFlagsDerivedVector));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Random id", &C::m_randomId, kFlagsRandomId));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint32_t>("Enforced rendering flags", &C::m_renderFlags, kFlagsRenderFlags));
    table.AddProperty(new RTTISGProperty<C, uint8_t>("Layer", &C::SetLayerValue, &C::GetLayerValue, kFlagsEditorHidden));
    table.AddProperty(
        new RTTISGProperty<C, NameString>("Mount to bone", &C::SetMountBoneValue, &C::GetMountBoneValue, kFlagsMountBone));
    table.AddProperty(new RTTISGProperty<C, Matrix>("Mount to bone location", &C::SetMountLocationValue,
                                                    &C::GetMountLocationValue, kFlagsEditorHidden));
    table.AddProperty(new RTTISGProperty<C, Vector>("Mount to bone position", &C::SetMountPositionValue,
                                                    &C::GetMountPositionValue, kFlagsMountVector));
    table.AddProperty(new RTTISGProperty<C, Vector>("Mount to bone rotation", &C::SetMountRotationValue,
                                                    &C::GetMountRotationValue, kFlagsMountVector));
    table.AddProperty(new RTTISGProperty<C, Vector>("Mount to bone scale", &C::SetMountScaleValue,
                                                    &C::GetMountScaleValue, kFlagsMountVector));

    table.AddProperty(new RTTIPropertyGroup("Visibility"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Visible in combat view", &C::m_visibleInCombatView,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kViewSettingNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Visible in tactical view",
                                                                    &C::m_visibleInTacticalView, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kViewSettingNames);
}

EntityMountRecord* Entity::MountRecordForWrite(bool isDefault)
{
    if (m_mount == nullptr && !isDefault)
        m_mount = new EntityMountRecord;
    return m_mount;
}

void Entity::RefreshBoneMount()
{
    MeshEntity* const mesh =
        m_mount != nullptr && m_parent != nullptr && m_parent->IsKindOf(ENTITY_MESH) ? dynamic_cast<MeshEntity*>(m_parent)
                                                                                     : nullptr;
    if (mesh == nullptr)
        return;
    if (mesh->GetAnimator() != nullptr && mesh->GetAnimator()->GetMountedBone(this) >= 0)
        mesh->UnmountEntity(this);
    if (!m_mount->boneName.IsEmpty())
        mesh->MountEntity(m_mount->boneName, this, m_mount->location, 0);
}

void Entity::SetMountBoneValue(const NameString& bone)
{
    if (EntityMountRecord* const mount = MountRecordForWrite(bone.IsEmpty()))
    {
        mount->boneName = bone;
        RefreshBoneMount();
    }
}

const NameString* Entity::GetMountBoneValue() const
{
    return &(m_mount != nullptr ? m_mount : &kDefaultMount)->boneName;
}

void Entity::SetMountLocationValue(const Matrix& location)
{
    if (EntityMountRecord* const mount = MountRecordForWrite(location.Equals(Matrix::ONE)))
    {
        mount->location = location;
        mount->rotationValid = 0;
        mount->scaleValid = 0;
        RefreshBoneMount();
    }
}

const Matrix* Entity::GetMountLocationValue() const
{
    return &(m_mount != nullptr ? m_mount : &kDefaultMount)->location;
}

void Entity::SetMountPositionValue(const Vector& position)
{
    if (EntityMountRecord* const mount = MountRecordForWrite(position.x == 0.0f && position.y == 0.0f && position.z == 0.0f))
    {
        mount->location.rows[3].Set(position.x, position.y, position.z, 1.0f);
        RefreshBoneMount();
    }
}

const Vector* Entity::GetMountPositionValue() const
{
    return &(m_mount != nullptr ? m_mount : &kDefaultMount)->location.rows[3];
}

namespace
{
void DecomposeMount(EntityMountRecord& mount)
{
    Vector translation;
    mount.location.Decompose(translation, mount.rotation, mount.scale);
    mount.scale.w = 1.0f;
    mount.rotationValid = 1;
    mount.scaleValid = 1;
}
} // namespace

void Entity::SetMountRotationValue(const Vector& rotation)
{
    if (EntityMountRecord* const mount = MountRecordForWrite(rotation.x == 0.0f && rotation.y == 0.0f && rotation.z == 0.0f))
    {
        if (!mount->scaleValid)
            DecomposeMount(*mount);
        mount->location.LoadComplexTransformation(mount->location.rows[3], rotation, mount->scale);
        mount->rotation = rotation;
        mount->rotationValid = 1;
        RefreshBoneMount();
    }
}

const Vector* Entity::GetMountRotationValue() const
{
    if (m_mount == nullptr)
        return &kDefaultMount.rotation;
    if (!m_mount->rotationValid)
        DecomposeMount(*m_mount);
    return &m_mount->rotation;
}

void Entity::SetMountScaleValue(const Vector& scale)
{
    if (EntityMountRecord* const mount = MountRecordForWrite(scale.x == 1.0f && scale.y == 1.0f && scale.z == 1.0f))
    {
        if (!mount->rotationValid)
            DecomposeMount(*mount);
        mount->location.LoadComplexTransformation(mount->location.rows[3], mount->rotation, scale);
        mount->scale = scale;
        mount->scaleValid = 1;
        RefreshBoneMount();
    }
}

const Vector* Entity::GetMountScaleValue() const
{
    if (m_mount == nullptr)
        return &kDefaultMount.scale;
    if (!m_mount->scaleValid)
        DecomposeMount(*m_mount);
    return &m_mount->scale;
}
