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
        if (count == 4)
        {
            PoseGroup(context, bone);
            bone += 4;
            continue;
        }
        AnimationBoneSample blended[4];
        bool driven[4];
        PoseBlending::BlendBones(context.stack, bone, count, blended, driven);
        for (uint32_t i = 0; i < count; ++i)
            PoseBone(context, bone + i,
                     driven[i] ? PoseBlending::LocalMatrix(blended[i], skeleton.GetRestMatrix(bone + i))
                               : skeleton.GetRestMatrix(bone + i));
        bone += count;
    }
}

namespace
{
void WriteSkinning(const MeshSkeleton& skeleton, const MeshSkeletonBone& record, const Matrix& node,
                   std::vector<float>& skinning)
{
    if (record.skinIndex != MeshSkeleton::kNoBone && size_t(record.skinIndex) * 12 < skinning.size())
        PoseBlending::WriteSkinningMatrix(skeleton.GetInverseBindColumns(record.skinIndex), node,
                                          &skinning[size_t(record.skinIndex) * 12]);
}

// PoseBone for lane L of a group's local matrices, a bone without root motion.
template <int L>
void PoseLane(const MeshSkeleton& skeleton, uint32_t bone, const __m128 (&local)[4][4], Matrix* matrices,
              std::vector<float>& skinning)
{
    const MeshSkeletonBone& record = skeleton.GetBone(bone);
    const uint32_t parent = record.parent < bone ? record.parent : AnimationSampleContext::kIdentityParent;
    PoseBlending::ThenLane<L>(local, matrices[parent], matrices[bone]);
    WriteSkinning(skeleton, record, matrices[bone], skinning);
}
} // namespace

void MeshAnimator::PoseGroup(AnimationSampleContext& context, uint32_t first)
{
    const MeshSkeleton& skeleton = *context.skeleton;
    __m128 local[4][4];
    if (const MeshRestBlock* const block = skeleton.GetRestBlock(first))
        PoseBlending::LocalMatrices4(context.stack, first, block->elements, local);
    else
    {
        const Matrix* const rests[4] = {&skeleton.GetRestMatrix(first), &skeleton.GetRestMatrix(first + 1),
                                        &skeleton.GetRestMatrix(first + 2), &skeleton.GetRestMatrix(first + 3)};
        __m128 rest[4][4];
        for (int row = 0; row < 4; ++row)
            PoseBlending::ColumnsAcross(rests, row, rest[row]);
        PoseBlending::LocalMatrices4(context.stack, first, rest, local);
    }
    if (uint32_t(context.rootMotionBone) - first >= 4)
    {
        // The usual group: each bone composes straight from its lane, parents first.
        Matrix* const matrices = context.NodeMatrices();
        PoseLane<0>(skeleton, first, local, matrices, m_skinning);
        PoseLane<1>(skeleton, first + 1, local, matrices, m_skinning);
        PoseLane<2>(skeleton, first + 2, local, matrices, m_skinning);
        PoseLane<3>(skeleton, first + 3, local, matrices, m_skinning);
        return;
    }
    Matrix locals[4];
    for (int row = 0; row < 4; ++row)
    {
        __m128 lanes[4] = {local[row][0], local[row][1], local[row][2], local[row][3]};
        _MM_TRANSPOSE4_PS(lanes[0], lanes[1], lanes[2], lanes[3]);
        for (int lane = 0; lane < 4; ++lane)
            locals[lane].rows[row].SetSimd(lanes[lane]);
    }
    for (uint32_t i = 0; i < 4; ++i)
        PoseBone(context, first + i, locals[i]);
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
    WriteSkinning(skeleton, record, matrices[bone], m_skinning);
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
