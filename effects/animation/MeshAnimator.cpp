#include "effects/animation/MeshAnimator.h"

#include "core/console/GameConsole.h"
#include "effects/animation/MeshSkeleton.h"
#include "scene/kinds/MeshEntity.h"

namespace
{
bool ReuseMatches(const AnimationParams& running, const AnimationParams& wanted)
{
    return ((wanted.Flags & ANIMFLAG_IGNORESAME) != 0 && running.Id == wanted.Id) ||
           ((wanted.Flags & ANIMFLAG_REUSE_SAME_INDEX) != 0 && running.AnimationIndex == wanted.AnimationIndex) ||
           ((wanted.Flags & ANIMFLAG_REUSE_SAME_GROUP) != 0 && running.GroupMask == wanted.GroupMask);
}
} // namespace

MeshAnimator::MeshAnimator(MeshEntity* owner, uint32_t skinMatrixCount, uint32_t treeNodeCount)
    : m_owner(owner), m_skinning(size_t(skinMatrixCount) * 12, 0.0f), m_slots(treeNodeCount)
{
    for (uint32_t i = 0; i < skinMatrixCount; ++i)
    {
        float* const m = &m_skinning[size_t(i) * 12];
        m[0] = m[5] = m[10] = 1.0f;
    }
}

MeshAnimator::~MeshAnimator()
{
    UnmountEntity(nullptr);
}

Entity* MeshAnimator::GetDrivenEntity() const
{
    return m_owner;
}

bool MeshAnimator::StartAnimationOnNode(const MeshSkeleton& skeleton, const NameString& node,
                                        std::unique_ptr<BaseAnimation> animation, float scale)
{
    const int32_t index = skeleton.FindTreeNodeIndex(node);
    if (index < 0 || uint32_t(index) >= m_slots.size() || animation == nullptr)
        return false;
    const AnimationTreeNode& treeNode = skeleton.GetTreeNodes()[size_t(index)];
    animation->BindToSkeleton(skeleton, index, treeNode.firstBone);
    const AnimationParams& params = animation->GetParams();
    for (const std::unique_ptr<BaseAnimation>& running : m_slots[size_t(index)])
        if (running != nullptr && (running->GetParams().GroupMask & params.GroupMask) == 0)
            StopAnimation(*running, params.AttackTime);
    animation->SetStateBits(ANIMSTATE_IN_SLOT);
    animation->StartFade(1.0f, params.AttackTime);
    BaseAnimation& started = *animation;
    m_slots[size_t(index)].push_back(std::move(animation));
    SetUpRootMotion(started, skeleton, scale);
    InvalidatePose();
    return true;
}

void MeshAnimator::SetUpRootMotion(BaseAnimation& animation, const MeshSkeleton& skeleton, float scale)
{
    const uint32_t flags = animation.GetParams().Flags;
    if ((flags & (ANIMFLAG_POSITIONDRIVE | ANIMFLAG_ROTATIONDRIVE)) == 0)
        return;
    const int32_t rootBone = skeleton.GetRootMotionBone();
    if ((flags & ANIMFLAG_BACKWARDS) != 0 && rootBone >= 0)
    {
        // Played backwards, the clip starts from its end pose: motion is measured from there.
        Quaternion rotation;
        Vector position;
        Vector size;
        animation.GetRootEndPose(skeleton.GetBone(uint32_t(rootBone)).name, rotation, position, size);
        Matrix end;
        end.LoadQuaternionTranslationAndScale(rotation, Vector(position.x * scale, position.y * scale, position.z * scale, 0.0f),
                                              size);
        Matrix correction;
        correction.InverseOf(end);
        animation.SetRootCorrection(correction);
    }
    if (m_positionDrives == 0 && m_rotationDrives == 0)
        if (const Entity* const driven = GetDrivenEntity())
            m_startMatrix = driven->GetGlobalLocationMatrix();
    if ((flags & ANIMFLAG_POSITIONDRIVE) != 0)
    {
        ++m_positionDrives;
        animation.SetStateBits(ANIMSTATE_POSITION_DRIVE);
    }
    if ((flags & ANIMFLAG_ROTATIONDRIVE) != 0)
    {
        ++m_rotationDrives;
        animation.SetStateBits(ANIMSTATE_ROTATION_DRIVE);
    }
}

void MeshAnimator::ReleaseDrives(BaseAnimation& animation)
{
    if ((animation.GetState() & ANIMSTATE_POSITION_DRIVE) != 0 && m_positionDrives > 0)
        --m_positionDrives;
    if ((animation.GetState() & ANIMSTATE_ROTATION_DRIVE) != 0 && m_rotationDrives > 0)
        --m_rotationDrives;
    animation.ClearStateBits(ANIMSTATE_POSITION_DRIVE | ANIMSTATE_ROTATION_DRIVE);
}

bool MeshAnimator::TryReuse(int32_t node, const AnimationParams& params)
{
    if (node < 0 || uint32_t(node) >= m_slots.size())
        return false;
    std::vector<std::unique_ptr<BaseAnimation>>& list = m_slots[size_t(node)];
    bool reused = false;
    for (size_t i = 0; i < list.size(); ++i)
    {
        BaseAnimation* const running = list[i].get();
        if (running == nullptr || !ReuseMatches(running->GetParams(), params))
            continue;
        const bool loops = (running->GetParams().Flags & ANIMFLAG_LOOP) != 0;
        if (running->IsStopping())
        {
            if (!loops)
                continue;
            running->ClearStateBits(ANIMSTATE_STOPPING);
            running->StartFade(1.0f, (1.0f - running->GetFaderWeight()) * params.AttackTime);
        }
        running->SetParams(params);
        reused = true;
    }
    if (!reused)
        return false;
    for (size_t i = 0; i < list.size(); ++i)
    {
        BaseAnimation* const other = list[i].get();
        if (other == nullptr || ReuseMatches(other->GetParams(), params) ||
            (other->GetParams().GroupMask & params.GroupMask) != 0 || other->IsStopping())
            continue;
        // The others fade over the whole attack time, as a stop does: timing it by what is left of
        // their weight would cut one at full weight at once.
        StopAnimation(*other, params.AttackTime);
    }
    return true;
}

void MeshAnimator::StopAnimation(BaseAnimation& animation, float seconds)
{
    if (animation.IsStopping())
        return;
    animation.SendEnded(0);
    animation.BeginStop(seconds, *this);
}

template <typename Apply>
bool MeshAnimator::ForEachById(int32_t node, int32_t id, Apply&& apply)
{
    if (node < 0 || uint32_t(node) >= m_slots.size())
        return false;
    std::vector<std::unique_ptr<BaseAnimation>>& list = m_slots[size_t(node)];
    // By index: a stop may tell a callback that starts another animation on this node.
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] != nullptr && (id == -1 || list[i]->GetParams().Id == id))
            apply(*list[i]);
    return true;
}

bool MeshAnimator::StopAnimation(int32_t node, int32_t id, float seconds)
{
    return ForEachById(node, id, [this, seconds](BaseAnimation& animation) { StopAnimation(animation, seconds); });
}

bool MeshAnimator::SetAnimationSpeedMultiplier(int32_t node, int32_t id, float multiplier)
{
    return ForEachById(node, id, [multiplier](BaseAnimation& animation) { animation.GetParams().SpeedMultiplier = multiplier; });
}

bool MeshAnimator::SetAnimationTimeFlags(int32_t node, int32_t id, uint32_t timeBits)
{
    return ForEachById(node, id, [timeBits](BaseAnimation& animation) {
        uint32_t& flags = animation.GetParams().Flags;
        flags = (flags & ~uint32_t(ANIMFLAG_TIME_MASK)) | (timeBits & ANIMFLAG_TIME_MASK);
    });
}

bool MeshAnimator::SetAnimationProgress(int32_t node, int32_t id, float progress)
{
    return ForEachById(node, id, [progress](BaseAnimation& animation) { animation.GetParams().OverrideProgress = progress; });
}

void MeshAnimator::SetTargetingAngles(float horizontal, float vertical)
{
    m_targetingAngles[0] = horizontal;
    m_targetingAngles[1] = vertical;
}

BaseAnimation* MeshAnimator::GetFirstRunningRootAnimation() const
{
    if (m_slots.empty())
        return nullptr;
    for (const std::unique_ptr<BaseAnimation>& animation : m_slots[0])
        if (animation != nullptr && !animation->IsStopping())
            return animation.get();
    return nullptr;
}
