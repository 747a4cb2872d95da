#include "effects/MeshAnimator.h"

#include "core/console/GameConsole.h"
#include "effects/MeshSkeleton.h"
#include "scene/entities/Entity.h"

#include <algorithm>
#include <unordered_map>

namespace
{
// Which animator holds each mounted child (main thread).
std::unordered_map<const Entity*, const MeshAnimator*> gMountOwners;

void ReportPlaybackNotBuilt()
{
    static bool reported = false;
    if (!reported)
    {
        reported = true;
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "MeshAnimator: animation playback is not built yet");
    }
}
} // namespace

MeshAnimator::MeshAnimator(const MeshSkeleton& skeleton, uint32_t boneCount, const void*, Entity* owner)
    : m_skeleton(skeleton), m_boneCount(std::min(boneCount, skeleton.GetBoneCount())), m_owner(owner)
{
    UpdatePose(skeleton, 0.0f);
}

MeshAnimator::~MeshAnimator()
{
    UnmountEntity(nullptr);
}

void MeshAnimator::UpdatePose(const MeshSkeleton& animationSet, float)
{
    m_boneMatrices.assign(size_t(m_boneCount) * 12, 0.0f);
    m_skinnedPositions = nullptr;
    for (uint32_t bone = 0; bone < m_boneCount; ++bone)
    {
        Vector rows[3];
        animationSet.GetRestModelMatrix(int32_t(bone)).ToTransposed3x4(rows);
        for (int row = 0; row < 3; ++row)
        {
            float* const out = &m_boneMatrices[size_t(bone) * 12 + size_t(row) * 4];
            out[0] = rows[row].x;
            out[1] = rows[row].y;
            out[2] = rows[row].z;
            out[3] = rows[row].w;
        }
    }
}

int32_t MeshAnimator::FindNodeIndex(const MeshSkeleton& animationSet, const NameString& name) const
{
    return animationSet.FindTreeNodeIndex(name);
}

bool MeshAnimator::StartAnimationOnNode(const MeshSkeleton&, const NameString&, const NameString&,
                                        const AnimationParams&)
{
    ReportPlaybackNotBuilt();
    return false;
}

void MeshAnimator::StopAllAnimations(int32_t, float) {}

void MeshAnimator::StopAnimation(int32_t, const NameString&, float) {}

bool MeshAnimator::SetAnimationSpeedMultiplier(int32_t, const NameString&, float)
{
    return false;
}

bool MeshAnimator::SetAnimationTimeFlags(int32_t, const NameString&, uint32_t)
{
    return false;
}

bool MeshAnimator::SetAnimationProgress(int32_t, const NameString&, float)
{
    return false;
}

void MeshAnimator::SetTargetingAngles(float first, float second)
{
    m_targetingAngles[0] = first;
    m_targetingAngles[1] = second;
}

bool MeshAnimator::MountEntityToNamedBone(const MeshSkeleton& animationSet, const NameString& bone, Entity* child,
                                          const Matrix& offset, uint32_t flags)
{
    int32_t index = -1;
    for (uint32_t i = 0; i < animationSet.GetBoneCount() && index < 0; ++i)
        if (animationSet.GetBone(i).name == bone)
            index = int32_t(i);
    if (index < 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount entity %s because %s cannot be found",
                       child != nullptr ? child->GetName() : "", bone.CStr());
        return false;
    }
    return MountEntity(index, child, offset, flags);
}

bool MeshAnimator::MountEntityToNamedBoneIn(const MeshSkeleton& animationSet, const NameString& subobject,
                                            const NameString& bone, Entity* child, const Matrix& offset, uint32_t flags)
{
    const int32_t root = GetSubobjectIndex(animationSet, subobject);
    int32_t index = -1;
    for (uint32_t i = 0; root >= 0 && i < animationSet.GetBoneCount() && index < 0; ++i)
    {
        if (!(animationSet.GetBone(i).name == bone))
            continue;
        // Bounded: a file's parent links may loop.
        uint32_t at = i;
        for (uint32_t steps = 0; at < animationSet.GetBoneCount() && steps <= MeshSkeleton::kMaxBones; ++steps)
        {
            if (int32_t(at) == root)
            {
                index = int32_t(i);
                break;
            }
            at = animationSet.GetBone(at).parent;
        }
    }
    if (index < 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount entity %s because %s cannot be found in %s",
                       child != nullptr ? child->GetName() : "", bone.CStr(), subobject.CStr());
        return false;
    }
    return MountEntity(index, child, offset, flags);
}

bool MeshAnimator::MountEntity(int32_t bone, Entity* child, const Matrix& offset, uint32_t flags)
{
    if (bone < 0 || uint32_t(bone) >= m_boneCount || child == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Cannot mount entity to bone with %d index", bone);
        return false;
    }
    const auto owner = gMountOwners.find(child);
    if (owner != gMountOwners.end() && owner->second != this)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Entity %s has already been mounted to some other entity",
                       child->GetName());
        return false;
    }
    for (Mount& mount : m_mounts)
        if (mount.child == child)
        {
            mount = {child, bone, m_skeleton.GetBone(uint32_t(bone)).name, offset, flags};
            return true;
        }
    m_mounts.push_back({child, bone, m_skeleton.GetBone(uint32_t(bone)).name, offset, flags});
    gMountOwners[child] = this;
    return true;
}

bool MeshAnimator::SetMountedEntityOffset(Entity* child, const Matrix& offset)
{
    for (Mount& mount : m_mounts)
        if (mount.child == child)
        {
            mount.offset = offset;
            return true;
        }
    return false;
}

void MeshAnimator::UnmountEntity(Entity* child)
{
    for (size_t i = m_mounts.size(); i-- > 0;)
        if (child == nullptr || m_mounts[i].child == child)
        {
            gMountOwners.erase(m_mounts[i].child);
            m_mounts.erase(m_mounts.begin() + std::ptrdiff_t(i));
        }
}

int32_t MeshAnimator::GetMountedBone(const Entity* child) const
{
    for (const Mount& mount : m_mounts)
        if (mount.child == child)
            return mount.bone;
    return -1;
}

bool MeshAnimator::IsMountedAnywhere(const Entity* child)
{
    return gMountOwners.count(child) != 0;
}

int32_t MeshAnimator::GetSubobjectIndex(const MeshSkeleton& animationSet, const NameString& name) const
{
    for (uint32_t i = 0; i < animationSet.GetBoneCount(); ++i)
        if (animationSet.GetBone(i).name == name)
            return int32_t(i);
    return -1;
}

Matrix MeshAnimator::GetSubobjectMatrix(const MeshSkeleton& animationSet, const NameString& name, float scale) const
{
    const int32_t index = GetSubobjectIndex(animationSet, name);
    if (index < 0)
        return Matrix::ONE;
    Matrix matrix = animationSet.GetRestModelMatrix(index);
    matrix.rows[3] = Vector(matrix.rows[3].x * scale, matrix.rows[3].y * scale, matrix.rows[3].z * scale, 1.0f);
    return matrix;
}
