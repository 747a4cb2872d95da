#include "effects/animation/PoseBlending.h"

#include "effects/animation/AnimationSlerp.h"
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
    AnimationBoneSample samples[4];
    bool driven[4];
    BlendBones(stack, bone, 1, samples, driven);
    if (driven[0])
        out = samples[0];
    return driven[0];
}

void BlendBones(const std::vector<ActiveAnimationEntry>& stack, uint32_t first, uint32_t count,
                AnimationBoneSample (&out)[4], bool (&driven)[4])
{
    float sums[4] = {};
    for (bool& d : driven)
        d = false;
    for (const ActiveAnimationEntry& entry : stack)
    {
        if (entry.active == 0)
            continue;
        const float w = entry.effectiveWeight;
        alignas(16) float shares[4] = {};
        const AnimationBoneSample* blended[4] = {};
        bool any = false;
        for (uint32_t lane = 0; lane < count; ++lane)
        {
            const uint8_t bound = entry.animation->GetBoundTrack(first + lane);
            if (bound == BaseAnimation::kUnbound)
                continue;
            const AnimationBoneSample& sample = entry.animation->GetSample(bound);
            if (!driven[lane])
            {
                // The first one is taken whole.
                out[lane] = sample;
                sums[lane] = w;
                driven[lane] = true;
                continue;
            }
            sums[lane] += w;
            const float t = w / sums[lane];
            shares[lane] = t;
            blended[lane] = &sample;
            any = true;
            // (1 - t) o + t sample on x, y and z, w cleared to 0.
            AnimationBoneSample& o = out[lane];
            const __m128 keep = _mm_set1_ps(1 - t);
            const __m128 take = _mm_set1_ps(t);
            const __m128 xyz = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
            o.position.SetSimd(_mm_and_ps(
                xyz, _mm_add_ps(_mm_mul_ps(keep, o.position.Simd()), _mm_mul_ps(take, sample.position.Simd()))));
            o.scale.SetSimd(
                _mm_and_ps(xyz, _mm_add_ps(_mm_mul_ps(keep, o.scale.Simd()), _mm_mul_ps(take, sample.scale.Simd()))));
        }
        if (!any)
            continue;
        __m128 a[4];
        __m128 b[4];
        for (uint32_t lane = 0; lane < 4; ++lane)
        {
            a[lane] = out[lane].rotation.Simd();
            b[lane] = blended[lane] != nullptr ? blended[lane]->rotation.Simd() : a[lane];
        }
        _MM_TRANSPOSE4_PS(a[0], a[1], a[2], a[3]);
        _MM_TRANSPOSE4_PS(b[0], b[1], b[2], b[3]);
        __m128 result[4];
        AnimationSlerp::Slerp4(a, b, _mm_load_ps(shares), result);
        _MM_TRANSPOSE4_PS(result[0], result[1], result[2], result[3]);
        for (uint32_t lane = 0; lane < 4; ++lane)
            if (blended[lane] != nullptr)
                out[lane].rotation.SetSimd(result[lane]);
    }
}
} // namespace PoseBlending
