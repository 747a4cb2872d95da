// The pose of a mesh: every animation samples, tree nodes blend from the root down (deeper nodes
// first take their share of a bone), bones compose into node and skinning matrices, root motion
// moves the entity and mounted entities follow their bones.
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "effects/animation/PoseBlending.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"

#include <algorithm>
#include <cmath>

void MeshAnimator::UpdatePose(AnimationSampleContext& context, const MeshSkeleton& skeleton, float positionScale,
                              const Matrix* rootMatrix)
{
    if (m_frameStamps[0] == context.frameCounters[0] && m_frameStamps[1] == context.frameCounters[1])
        return;
    const uint32_t counters[2] = {context.frameCounters[0], context.frameCounters[1]};
    m_frameStamps[0] = counters[0];
    m_frameStamps[1] = counters[1];
    m_skinnedVertices = nullptr;
    context.Reset();
    context.frameCounters[0] = counters[0];
    context.frameCounters[1] = counters[1];
    context.rootMatrix = rootMatrix != nullptr ? *rootMatrix
                         : m_owner != nullptr ? m_owner->GetGlobalLocationMatrix()
                                              : Matrix::ONE;
    context.skeleton = &skeleton;
    context.rootMotionBone = skeleton.GetRootMotionBone();
    context.positionScale = positionScale;
    context.meshTemplate = m_owner != nullptr ? m_owner->GetMeshTemplate() : nullptr;
    context.targetingModes[0] = m_targetingAngles[0] < 0.0f ? 2 : 3;
    context.targetingWeights[0] = std::fabs(m_targetingAngles[0]) / 90.0f;
    context.targetingModes[1] = m_targetingAngles[1] < 0.0f ? 1 : 0;
    context.targetingWeights[1] = std::fabs(m_targetingAngles[1]) / 90.0f;
    context.NodeMatrices()[AnimationSampleContext::kIdentityParent] = Matrix::ONE;
    if (!skeleton.GetTreeNodes().empty() && !m_slots.empty())
        BlendTreeNode(context, 0);
    else
        PoseRun(context, 0, std::min(skeleton.GetBoneCount(), MeshSkeleton::kMaxBones), -1);
    if (m_positionDrives > 0 || m_rotationDrives > 0)
        ApplyRootMotion(context);
    UpdateMountedEntities(context, context.rootMatrix);
    for (CachedNodeMatrix& cached : m_cachedNodes)
        cached.matrix = context.NodeMatrices()[cached.node];
}

void MeshAnimator::BlendTreeNode(AnimationSampleContext& context, int32_t node)
{
    const MeshSkeleton& skeleton = *context.skeleton;
    const std::vector<AnimationTreeNode>& nodes = skeleton.GetTreeNodes();
    const AnimationTreeNode& treeNode = nodes[size_t(node)];
    const size_t stackBase = context.stack.size();
    int32_t proceduralBone = -1;
    if (uint32_t(node) < m_slots.size())
    {
        std::vector<std::unique_ptr<BaseAnimation>>& list = m_slots[size_t(node)];
        const std::vector<MeshTargetingRecord>* modes =
            context.meshTemplate != nullptr ? &context.meshTemplate->GetTargetingTable() : nullptr;
        // By index and up to the count at the start: a callback may start animations on this list.
        const size_t count = list.size();
        for (size_t i = 0; i < count; ++i)
        {
            BaseAnimation* const animation = list[i].get();
            if (animation == nullptr)
                continue;
            animation->Sample(context, skeleton, *this);
            const int32_t mode = animation->GetParams().TargetingModeIndex;
            if (modes != nullptr && mode >= 0 && size_t(mode) < modes->size())
                animation->ApplyTargeting(context, (*modes)[size_t(mode)]);
            if (!animation->IsStopping() || animation->GetFader().IsActive())
            {
                const float weight = animation->GetFaderWeight() * animation->GetParams().Weight;
                if (weight > 0.0f)
                    context.stack.push_back({animation, node, weight, 0.0f, 0});
                if ((animation->GetState() & ANIMSTATE_PROCEDURAL) != 0)
                    proceduralBone = treeNode.firstBone;
                continue;
            }
            animation->ClearStateBits(ANIMSTATE_IN_SLOT);
            list[i].reset();
        }
        list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
        if (node == 0)
        {
            float weights = 0.0f;
            float speed = 0.0f;
            for (const std::unique_ptr<BaseAnimation>& animation : list)
            {
                const float weight = animation->GetFaderWeight() * animation->GetParams().Weight;
                weights += weight;
                speed += weight * animation->GetMovementSpeed() * animation->GetParams().SpeedMultiplier;
            }
            m_movementSpeed = weights > 1e-6f ? speed / weights : speed;
        }
    }
    const uint32_t boneCount = skeleton.GetBoneCount();
    uint32_t cursor = uint32_t(std::max(treeNode.firstBone, 0));
    const uint32_t end = std::min(uint32_t(std::max(treeNode.firstBone, 0) + std::max(treeNode.boneCount, 0)), boneCount);
    for (int32_t child = treeNode.firstChild; child > node && size_t(child) < nodes.size();
         child = nodes[size_t(child)].nextSibling)
    {
        const uint32_t childFirst = std::min(uint32_t(std::max(nodes[size_t(child)].firstBone, 0)), end);
        if (childFirst > cursor)
            PoseRun(context, cursor, childFirst, proceduralBone);
        BlendTreeNode(context, child);
        cursor = std::max(cursor, std::min(childFirst + uint32_t(std::max(nodes[size_t(child)].boneCount, 0)), end));
        if (nodes[size_t(child)].nextSibling <= child)
            break;
    }
    if (end > cursor)
        PoseRun(context, cursor, end, proceduralBone);
    context.stack.resize(stackBase);
}

void MeshAnimator::PoseRun(AnimationSampleContext& context, uint32_t first, uint32_t end, int32_t proceduralBone)
{
    // Weights are computed afresh for every run: a child node's entries have just left the stack,
    // and bones between two child ranges must not keep the weights of the child before them.
    const std::vector<AnimationTreeNode>& nodes = context.skeleton->GetTreeNodes();
    PoseBlending::ComputeEffectiveWeights(context.stack, nodes, first);
    // A procedural animation counts only on its node's first bone: the weights change after it.
    const uint32_t split = proceduralBone >= 0 && uint32_t(proceduralBone) + 1 > first && uint32_t(proceduralBone) + 1 < end
                               ? uint32_t(proceduralBone) + 1
                               : end;
    const MeshSkeleton& skeleton = *context.skeleton;
    for (uint32_t bone = first; bone < end;)
    {
        if (bone == split)
            PoseBlending::ComputeEffectiveWeights(context.stack, nodes, bone);
        const uint32_t count = std::min<uint32_t>(4, (bone < split ? split : end) - bone);
        Matrix locals[4];
        if (count == 4)
        {
            const Matrix* const rests[4] = {&skeleton.GetRestMatrix(bone), &skeleton.GetRestMatrix(bone + 1),
                                            &skeleton.GetRestMatrix(bone + 2), &skeleton.GetRestMatrix(bone + 3)};
            PoseBlending::LocalMatrices4(context.stack, bone, rests, locals);
        }
        else
        {
            AnimationBoneSample blended[4];
            bool driven[4];
            PoseBlending::BlendBones(context.stack, bone, count, blended, driven);
            for (uint32_t i = 0; i < count; ++i)
                locals[i] = driven[i] ? PoseBlending::LocalMatrix(blended[i], skeleton.GetRestMatrix(bone + i))
                                      : skeleton.GetRestMatrix(bone + i);
        }
        for (uint32_t i = 0; i < count; ++i)
            PoseBone(context, bone + i, locals[i]);
        bone += count;
    }
}

void MeshAnimator::PoseBone(AnimationSampleContext& context, uint32_t bone, const Matrix& blendedLocal)
{
    const MeshSkeleton& skeleton = *context.skeleton;
    const MeshSkeletonBone& record = skeleton.GetBone(bone);
    const Matrix& rest = skeleton.GetRestMatrix(bone);
    const Matrix* local = &blendedLocal;
    if (int32_t(bone) == context.rootMotionBone)
    {
        // The root-motion bone stays at rest: its motion moves the entity instead.
        local = &rest;
        bool started = false;
        for (const ActiveAnimationEntry& entry : context.stack)
        {
            if (!started && entry.active == 0)
                continue;
            started = true;
            const uint32_t drives = entry.animation->GetState() & (ANIMSTATE_POSITION_DRIVE | ANIMSTATE_ROTATION_DRIVE);
            const uint8_t bound = entry.animation->GetBoundTrack(bone);
            if (drives == 0 || bound == BaseAnimation::kUnbound)
                continue;
            const AnimationBoneSample& sample = entry.animation->GetSample(bound);
            Vector position = sample.position;
            position.Transform3D(rest);
            Matrix motion;
            motion.LoadQuaternionTranslationAndScale(sample.rotation, position, sample.scale);
            context.rootMotion.Mul(entry.animation->GetRootCorrection(), motion);
        }
    }
    Matrix* const matrices = context.NodeMatrices();
    const uint32_t parent = record.parent < bone ? record.parent : AnimationSampleContext::kIdentityParent;
    PoseBlending::Then(*local, matrices[parent], matrices[bone]);
    if (record.skinIndex != MeshSkeleton::kNoBone && size_t(record.skinIndex) * 12 < m_skinning.size())
        PoseBlending::WriteSkinningMatrix(skeleton.GetInverseBindColumns(record.skinIndex), matrices[bone],
                                          &m_skinning[size_t(record.skinIndex) * 12]);
}

void MeshAnimator::ApplyRootMotion(AnimationSampleContext& context)
{
    Entity* const driven = GetDrivenEntity();
    if (driven == nullptr)
        return;
    Matrix moved;
    moved.Mul(m_startMatrix, context.rootMotion);
    Matrix world = driven->GetGlobalLocationMatrix();
    if (m_positionDrives > 0)
        world.rows[3] = Vector(moved.rows[3].x, moved.rows[3].y, moved.rows[3].z, 1.0f);
    if (m_rotationDrives > 0)
        for (int row = 0; row < 3; ++row)
            world.rows[row] = moved.rows[row];
    driven->SetGlobalLocationMatrix(world);
    if (driven == m_owner)
        context.rootMatrix = world;
}

Matrix MeshAnimator::FindNodeMatrix(AnimationSampleContext& context, int32_t node, const MeshSkeleton& skeleton,
                                    float positionScale)
{
    // Past the skeleton's bones the buffer holds another mesh's pose.
    if (node < 0 || uint32_t(node) >= std::min(skeleton.GetBoneCount(), MeshSkeleton::kMaxBones))
        return Matrix::ONE;
    auto at = std::lower_bound(m_cachedNodes.begin(), m_cachedNodes.end(), uint32_t(node),
                               [](const CachedNodeMatrix& cached, uint32_t value) { return cached.node < value; });
    if (at == m_cachedNodes.end() || at->node != uint32_t(node))
    {
        CachedNodeMatrix record;
        record.matrix = Matrix::ONE;
        record.node = uint32_t(node);
        at = m_cachedNodes.insert(at, record);
        InvalidatePose();
    }
    const size_t index = size_t(at - m_cachedNodes.begin());
    UpdatePose(context, skeleton, positionScale, nullptr);
    return m_cachedNodes[index].matrix;
}
