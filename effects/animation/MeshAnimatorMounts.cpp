// Entities mounted on a mesh's bones: placed at every pose, dropped when they die.
#include "core/console/GameConsole.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/Entity.h"

bool MeshAnimator::MountEntity(Entity* child, int32_t bone, const NameString& boneName, const Matrix& offset,
                               uint32_t alignment)
{
    if (child == nullptr)
        return false;
    if (bone < 0 || uint32_t(bone) >= AnimationSampleContext::kIdentityParent)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount entity to bone with %d index", bone);
        return false;
    }
    if ((child->GetExtraFlags() & ENTITYEXTRA_MOUNTED_ON_BONE) != 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Entity %s has already been mounted to some other entity",
                       child->GetName());
        return false;
    }
    MountedEntityRecord record;
    record.offset = offset;
    record.entity = child;
    record.bone = bone;
    record.alignment = alignment;
    record.boneName = boneName;
    m_mounts.push_back(record);
    child->SetExtraFlags(child->GetExtraFlags() | ENTITYEXTRA_MOUNTED_ON_BONE);
    InvalidatePose();
    return true;
}

bool MeshAnimator::MountEntity(const MeshSkeleton& skeleton, Entity* child, const NameString& bone,
                               const Matrix& offset, uint32_t alignment)
{
    const int32_t index = skeleton.FindBoneIndex(bone);
    if (index < 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount entity %s because %s cannot be found",
                       child != nullptr ? child->GetName() : "", bone.CStr());
        return false;
    }
    return MountEntity(child, index, bone, offset, alignment);
}

void MeshAnimator::UnmountEntity(Entity* child)
{
    for (size_t i = m_mounts.size(); i-- > 0;)
    {
        Entity* const mounted = m_mounts[i].entity.Get();
        if (child != nullptr && mounted != child)
            continue;
        if (mounted != nullptr)
            mounted->SetExtraFlags(mounted->GetExtraFlags() & ~uint32_t(ENTITYEXTRA_MOUNTED_ON_BONE));
        m_mounts.erase(m_mounts.begin() + std::ptrdiff_t(i));
    }
}

bool MeshAnimator::SetMountedEntityOffset(Entity* child, const Matrix& offset)
{
    for (MountedEntityRecord& record : m_mounts)
        if (record.entity.Get() == child && child != nullptr)
        {
            record.offset = offset;
            InvalidatePose();
            return true;
        }
    return false;
}

int32_t MeshAnimator::GetMountedBone(const Entity* child) const
{
    for (const MountedEntityRecord& record : m_mounts)
        if (record.entity.Get() == child && child != nullptr)
            return record.bone;
    return -1;
}

void MeshAnimator::UpdateMountedEntities(AnimationSampleContext& context, const Matrix& rootMatrix)
{
    const Matrix* const matrices = context.NodeMatrices();
    const uint32_t boneCount = context.skeleton != nullptr ? context.skeleton->GetBoneCount() : 0;
    for (size_t i = 0; i < m_mounts.size();)
    {
        MountedEntityRecord& record = m_mounts[i];
        Entity* const entity = record.entity.Get();
        if (entity == nullptr)
        {
            m_mounts.erase(m_mounts.begin() + std::ptrdiff_t(i));
            continue;
        }
        const Matrix& bone = uint32_t(record.bone) < boneCount ? matrices[record.bone] : Matrix::ONE;
        Matrix onBone;
        onBone.Mul(bone, record.offset);
        Matrix world;
        world.Mul(rootMatrix, onBone);
        if (record.alignment != 0 && gRenderer != nullptr)
        {
            Matrix aligned;
            aligned.LoadBillboard(world, record.alignment, gRenderer->GetCamera().inverseView, 0.0f);
            world = aligned;
        }
        entity->SetGlobalLocationMatrix(world);
        ++i;
    }
}
