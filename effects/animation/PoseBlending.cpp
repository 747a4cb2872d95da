#include "effects/animation/PoseBlending.h"

#include "effects/animation/AnimationSlerp.h"
#include "effects/animation/MeshSkeleton.h"

#include <algorithm>

namespace PoseBlending
{
namespace
{
__m128 Select(__m128 mask, __m128 whenSet, __m128 otherwise)
{
    return _mm_or_ps(_mm_and_ps(mask, whenSet), _mm_andnot_ps(mask, otherwise));
}

// 2 v, as the one-bone steps double it.
__m128 Twice(__m128 v)
{
    return _mm_add_ps(v, v);
}

const AnimationBoneSample gNoSample;

// The written samples of bones first..first + 3 in the form SampleBones4 gives them.
void GatherSamples4(BaseAnimation& animation, uint32_t first, __m128 (&r)[4], __m128 (&p)[3], __m128 (&s)[3],
                    __m128& has)
{
    const AnimationBoneSample* samples[4];
    alignas(16) int32_t bound[4];
    for (uint32_t lane = 0; lane < 4; ++lane)
    {
        const uint8_t track = animation.GetBoundTrack(first + lane);
        bound[lane] = track != BaseAnimation::kUnbound ? -1 : 0;
        samples[lane] = track != BaseAnimation::kUnbound ? &animation.GetSample(track) : &gNoSample;
    }
    has = _mm_castsi128_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(bound)));
    for (int lane = 0; lane < 4; ++lane)
        r[lane] = samples[lane]->rotation.Simd();
    __m128 p4[4] = {samples[0]->position.Simd(), samples[1]->position.Simd(), samples[2]->position.Simd(),
                    samples[3]->position.Simd()};
    __m128 s4[4] = {samples[0]->scale.Simd(), samples[1]->scale.Simd(), samples[2]->scale.Simd(),
                    samples[3]->scale.Simd()};
    _MM_TRANSPOSE4_PS(r[0], r[1], r[2], r[3]);
    _MM_TRANSPOSE4_PS(p4[0], p4[1], p4[2], p4[3]);
    _MM_TRANSPOSE4_PS(s4[0], s4[1], s4[2], s4[3]);
    for (int c = 0; c < 3; ++c)
    {
        p[c] = p4[c];
        s[c] = s4[c];
    }
}
} // namespace

void LocalMatrices4(const std::vector<ActiveAnimationEntry>& stack, uint32_t first, const __m128 (&rest)[4][4],
                    __m128 (&local)[4][4])
{
    const __m128 zero = _mm_setzero_ps();
    const __m128 one = _mm_set1_ps(1.0f);
    // The blend so far across the lanes: rotation x, y, z, w; position and scale x, y, z.
    __m128 rotation[4] = {zero, zero, zero, zero};
    __m128 position[3] = {zero, zero, zero};
    __m128 scale[3] = {zero, zero, zero};
    __m128 sums = zero;
    __m128 driven = zero;
    for (const ActiveAnimationEntry& entry : stack)
    {
        if (entry.active == 0)
            continue;
        __m128 r[4], p[3], s[3], has;
        if (entry.animation->HasDeferredSamples())
            entry.animation->SampleBones4(first, r, p, s, has);
        else
            GatherSamples4(*entry.animation, first, r, p, s, has);
        if (_mm_movemask_ps(has) == 0)
            continue;
        // The first entry to drive a lane is taken whole; each later one takes weight / (sum so far).
        const __m128 w = _mm_set1_ps(entry.effectiveWeight);
        const int hasLanes = _mm_movemask_ps(has);
        const int drivenLanes = _mm_movemask_ps(driven);
        if (hasLanes == 0xF && drivenLanes == 0)
        {
            // The usual first entry: it drives all four bones.
            for (int c = 0; c < 3; ++c)
            {
                position[c] = p[c];
                scale[c] = s[c];
            }
            for (int c = 0; c < 4; ++c)
                rotation[c] = r[c];
            sums = w;
            driven = has;
            continue;
        }
        if (hasLanes == 0xF && drivenLanes == 0xF)
        {
            // The usual later entry: it blends into all four.
            sums = _mm_add_ps(sums, w);
            const __m128 t = _mm_div_ps(w, sums);
            const __m128 keep = _mm_sub_ps(one, t);
            for (int c = 0; c < 3; ++c)
            {
                position[c] = _mm_add_ps(_mm_mul_ps(keep, position[c]), _mm_mul_ps(t, p[c]));
                scale[c] = _mm_add_ps(_mm_mul_ps(keep, scale[c]), _mm_mul_ps(t, s[c]));
            }
            __m128 slerped[4];
            AnimationSlerp::Slerp4(rotation, r, t, slerped);
            for (int c = 0; c < 4; ++c)
                rotation[c] = slerped[c];
            continue;
        }
        const __m128 taken = _mm_andnot_ps(driven, has);
        const __m128 blended = _mm_and_ps(driven, has);
        sums = Select(taken, w, Select(blended, _mm_add_ps(sums, w), sums));
        const __m128 t = _mm_and_ps(blended, _mm_div_ps(w, sums));
        const __m128 keep = _mm_sub_ps(one, t);
        for (int c = 0; c < 3; ++c)
        {
            position[c] = Select(taken, p[c],
                                 Select(blended, _mm_add_ps(_mm_mul_ps(keep, position[c]), _mm_mul_ps(t, p[c])),
                                        position[c]));
            scale[c] = Select(taken, s[c],
                              Select(blended, _mm_add_ps(_mm_mul_ps(keep, scale[c]), _mm_mul_ps(t, s[c])), scale[c]));
        }
        if (_mm_movemask_ps(blended) != 0)
        {
            __m128 slerped[4];
            AnimationSlerp::Slerp4(rotation, r, t, slerped);
            for (int c = 0; c < 4; ++c)
                rotation[c] = Select(blended, slerped[c], rotation[c]);
        }
        for (int c = 0; c < 4; ++c)
            rotation[c] = Select(taken, r[c], rotation[c]);
        driven = _mm_or_ps(driven, has);
    }
    // The sample's TRS (LocalMatrix's rows), element [row][column] across the lanes.
    const __m128 x = rotation[0], y = rotation[1], z = rotation[2], w = rotation[3];
    const __m128 trs[4][4] = {
        {_mm_mul_ps(_mm_sub_ps(one, Twice(_mm_add_ps(_mm_mul_ps(y, y), _mm_mul_ps(z, z)))), scale[0]),
         _mm_mul_ps(Twice(_mm_add_ps(_mm_mul_ps(x, y), _mm_mul_ps(w, z))), scale[0]),
         _mm_mul_ps(Twice(_mm_sub_ps(_mm_mul_ps(x, z), _mm_mul_ps(w, y))), scale[0]), _mm_mul_ps(zero, scale[0])},
        {_mm_mul_ps(Twice(_mm_sub_ps(_mm_mul_ps(x, y), _mm_mul_ps(w, z))), scale[1]),
         _mm_mul_ps(_mm_sub_ps(one, Twice(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(z, z)))), scale[1]),
         _mm_mul_ps(Twice(_mm_add_ps(_mm_mul_ps(y, z), _mm_mul_ps(w, x))), scale[1]), _mm_mul_ps(zero, scale[1])},
        {_mm_mul_ps(Twice(_mm_add_ps(_mm_mul_ps(x, z), _mm_mul_ps(w, y))), scale[2]),
         _mm_mul_ps(Twice(_mm_sub_ps(_mm_mul_ps(y, z), _mm_mul_ps(w, x))), scale[2]),
         _mm_mul_ps(_mm_sub_ps(one, Twice(_mm_add_ps(_mm_mul_ps(x, x), _mm_mul_ps(y, y)))), scale[2]),
         _mm_mul_ps(zero, scale[2])},
        {position[0], position[1], position[2], one},
    };
    // TRS followed by the rest matrix, summed as RowTimesMatrix sums; a lane nothing drives keeps its rest.
    const bool allDriven = _mm_movemask_ps(driven) == 0xF;
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
        {
            const __m128 product =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(trs[row][0], rest[0][c]), _mm_mul_ps(trs[row][1], rest[1][c])),
                           _mm_add_ps(_mm_mul_ps(trs[row][2], rest[2][c]), _mm_mul_ps(trs[row][3], rest[3][c])));
            local[row][c] = allDriven ? product : Select(driven, product, rest[row][c]);
        }
}

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
