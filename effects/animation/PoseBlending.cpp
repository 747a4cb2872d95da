#include "effects/animation/PoseBlending.h"

#include "effects/animation/MeshSkeleton.h"

#include <algorithm>

namespace PoseBlending
{
void ComputeEffectiveWeights(std::vector<ActiveAnimationEntry>& stack, const std::vector<AnimationTreeNode>& nodes,
                             uint32_t bone)
{
    float remaining = 1.0f;
    size_t i = stack.size();
    while (i > 0)
    {
        const int32_t node = stack[i - 1].treeNode;
        float groupSum = 0.0f;
        for (; i > 0 && stack[i - 1].treeNode == node; --i)
        {
            ActiveAnimationEntry& entry = stack[i - 1];
            const bool procedural = (entry.animation->GetState() & ANIMSTATE_PROCEDURAL) != 0;
            const bool firstBone = node >= 0 && size_t(node) < nodes.size() &&
                                   uint32_t(nodes[size_t(node)].firstBone) == bone;
            const float weight = procedural && !firstBone ? 0.0f : entry.weight;
            entry.effectiveWeight = weight * remaining;
            entry.active = entry.effectiveWeight > 0.0f ? 1 : 0;
            groupSum += weight;
        }
        remaining *= std::max(0.0f, 1.0f - groupSum);
    }
}

bool BlendBone(const std::vector<ActiveAnimationEntry>& stack, uint32_t bone, AnimationBoneSample& out)
{
    float sum = 0.0f;
    bool any = false;
    for (const ActiveAnimationEntry& entry : stack)
    {
        if (entry.active == 0)
            continue;
        const uint8_t bound = entry.animation->GetBoundTrack(bone);
        if (bound == BaseAnimation::kUnbound)
            continue;
        const AnimationBoneSample& sample = entry.animation->GetSample(bound);
        const float w = entry.effectiveWeight;
        if (!any)
        {
            out = sample;
            sum = w;
            any = true;
            continue;
        }
        sum += w;
        const float t = w / sum;
        Quaternion rotation;
        rotation.Slerp(out.rotation, sample.rotation, t);
        out.rotation = rotation;
        out.position = Vector((1 - t) * out.position.x + t * sample.position.x,
                              (1 - t) * out.position.y + t * sample.position.y,
                              (1 - t) * out.position.z + t * sample.position.z, 0.0f);
        out.scale = Vector((1 - t) * out.scale.x + t * sample.scale.x, (1 - t) * out.scale.y + t * sample.scale.y,
                           (1 - t) * out.scale.z + t * sample.scale.z, 0.0f);
    }
    return any;
}

Matrix LocalMatrix(const AnimationBoneSample& sample, const Matrix& rest)
{
    Matrix trs;
    trs.LoadQuaternionTranslationAndScale(sample.rotation, sample.position, sample.scale);
    Matrix local;
    local.Mul(rest, trs);
    return local;
}

void WriteSkinningMatrix(const Matrix& inverseBind, const Matrix& node, float* out12)
{
    Matrix skin;
    skin.Mul(node, inverseBind);
    Vector rows[3];
    skin.ToTransposed3x4(rows);
    for (int r = 0; r < 3; ++r)
    {
        out12[r * 4 + 0] = rows[r].x;
        out12[r * 4 + 1] = rows[r].y;
        out12[r * 4 + 2] = rows[r].z;
        out12[r * 4 + 3] = rows[r].w;
    }
}
} // namespace PoseBlending
