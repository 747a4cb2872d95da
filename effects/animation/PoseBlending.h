// The per-bone steps of a pose: the effective weights of the active animations at a bone, the
// blend of their samples, the bone's local and skinning matrices. Plain functions over explicit
// inputs, each checkable with a hand-computed pose. Main thread (no shared state).
#pragma once

#include "core/math/SimdTransforms.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/BaseAnimation.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>
#include <vector>

struct AnimationTreeNode;

namespace PoseBlending
{
// From the top of the stack down, entries of one tree node form a group: each entry's effective
// weight is its weight (0 for a procedural animation away from its node's first bone) times what
// the deeper groups left; a group leaves max(0, 1 - its weights' sum) of that to the next.
void ComputeEffectiveWeights(std::vector<ActiveAnimationEntry>& stack, const std::vector<AnimationTreeNode>& nodes,
                             uint32_t bone);
// Blends the samples of the active entries that drive the bone, from the bottom of the stack up:
// each next one takes weight / (sum so far) of the result. False when none drives it.
bool BlendBone(const std::vector<ActiveAnimationEntry>& stack, uint32_t bone, AnimationBoneSample& out);
// BlendBone for up to four consecutive bones at once (their rotations slerped side by side);
// driven[i] tells whether out[i] holds a blend for bone first + i.
void BlendBones(const std::vector<ActiveAnimationEntry>& stack, uint32_t first, uint32_t count,
                AnimationBoneSample (&out)[4], bool (&driven)[4]);

// Lane i of v in all four lanes. pshufd copies from one register to another in one instruction,
// where shufps would first need a copy of v (the bits are the same either way).
template <int i>
inline __m128 Broadcast(__m128 v)
{
    return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(v), _MM_SHUFFLE(i, i, i, i)));
}

// out = first followed by second (first x second); out must not alias second.
inline void Then(const Matrix& first, const Matrix& second, Matrix& out)
{
    MatrixProductNotIntoSecond(out, first, second);
}

// TRS of the sample (Matrix::LoadQuaternionTranslationAndScale) followed by the rest local matrix.
inline Matrix LocalMatrix(const AnimationBoneSample& sample, const Matrix& rest)
{
    const Quaternion& q = sample.rotation;
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    Matrix trs;
    trs.rows[0].SetSimd(_mm_mul_ps(_mm_setr_ps(1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0),
                                   _mm_set1_ps(sample.scale.x)));
    trs.rows[1].SetSimd(_mm_mul_ps(_mm_setr_ps(2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0),
                                   _mm_set1_ps(sample.scale.y)));
    trs.rows[2].SetSimd(_mm_mul_ps(_mm_setr_ps(2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0),
                                   _mm_set1_ps(sample.scale.z)));
    trs.rows[3] = Vector(sample.position.x, sample.position.y, sample.position.z, 1.0f);
    Matrix local;
    Then(trs, rest, local);
    return local;
}

// Inverse bind followed by the node matrix, as three rows of four floats (the transposed upper
// three columns), from the inverse bind's columns: row j is column j of the product, the columns
// weighted by column j of the node matrix and summed as RowTimesMatrix sums.
inline void WriteSkinningMatrix(const Matrix& inverseBindColumns, const Matrix& node, float* out12)
{
    const __m128 c0 = inverseBindColumns.rows[0].Simd();
    const __m128 c1 = inverseBindColumns.rows[1].Simd();
    const __m128 c2 = inverseBindColumns.rows[2].Simd();
    const __m128 c3 = inverseBindColumns.rows[3].Simd();
    const __m128 n0 = node.rows[0].Simd();
    const __m128 n1 = node.rows[1].Simd();
    const __m128 n2 = node.rows[2].Simd();
    const __m128 n3 = node.rows[3].Simd();
    _mm_storeu_ps(out12, _mm_add_ps(_mm_add_ps(_mm_mul_ps(c0, Broadcast<0>(n0)), _mm_mul_ps(c1, Broadcast<0>(n1))),
                                    _mm_add_ps(_mm_mul_ps(c2, Broadcast<0>(n2)), _mm_mul_ps(c3, Broadcast<0>(n3)))));
    _mm_storeu_ps(out12 + 4,
                  _mm_add_ps(_mm_add_ps(_mm_mul_ps(c0, Broadcast<1>(n0)), _mm_mul_ps(c1, Broadcast<1>(n1))),
                             _mm_add_ps(_mm_mul_ps(c2, Broadcast<1>(n2)), _mm_mul_ps(c3, Broadcast<1>(n3)))));
    _mm_storeu_ps(out12 + 8,
                  _mm_add_ps(_mm_add_ps(_mm_mul_ps(c0, Broadcast<2>(n0)), _mm_mul_ps(c1, Broadcast<2>(n1))),
                             _mm_add_ps(_mm_mul_ps(c2, Broadcast<2>(n2)), _mm_mul_ps(c3, Broadcast<2>(n3)))));
}
// Row r of four matrices, one per lane, as four vectors of columns 0 to 3 across the lanes.
inline void ColumnsAcross(const Matrix* const (&m)[4], int row, __m128 (&out)[4])
{
    out[0] = m[0]->rows[row].Simd();
    out[1] = m[1]->rows[row].Simd();
    out[2] = m[2]->rows[row].Simd();
    out[3] = m[3]->rows[row].Simd();
    _MM_TRANSPOSE4_PS(out[0], out[1], out[2], out[3]);
}

// The local matrices of four consecutive bones, one bone per SSE lane: BlendBones followed by
// LocalMatrix for a driven bone and the rest matrix for one that nothing drives, with the same
// arithmetic per lane, so the results are those of the one-bone steps bit for bit. `rest` and
// `local` hold element [row][column] of the four matrices.
void LocalMatrices4(const std::vector<ActiveAnimationEntry>& stack, uint32_t first, const __m128 (&rest)[4][4],
                    __m128 (&local)[4][4]);

// Then(local, parent, out) for the matrix in lane L of four held as LocalMatrices4 gives them.
template <int L>
inline void ThenLane(const __m128 (&local)[4][4], const Matrix& parent, Matrix& out)
{
    const __m128 p0 = parent.rows[0].Simd();
    const __m128 p1 = parent.rows[1].Simd();
    const __m128 p2 = parent.rows[2].Simd();
    const __m128 p3 = parent.rows[3].Simd();
    for (int row = 0; row < 4; ++row)
        out.rows[row].SetSimd(
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(Broadcast<L>(local[row][0]), p0), _mm_mul_ps(Broadcast<L>(local[row][1]), p1)),
                       _mm_add_ps(_mm_mul_ps(Broadcast<L>(local[row][2]), p2), _mm_mul_ps(Broadcast<L>(local[row][3]), p3))));
}
} // namespace PoseBlending
