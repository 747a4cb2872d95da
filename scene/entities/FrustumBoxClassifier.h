// Where world boxes lie against the six inward planes of a view, four planes per vector operation.
// Any thread (a value object; the visible gather uses one per gather on the main thread).
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Vector.h"

#include <xmmintrin.h>

// The planes (a, b, c, d: a point p is inside when a p.x + b p.y + c p.z + d >= 0) in lanes.
class FrustumBoxClassifier
{
public:
    static constexpr int kOutside = -1;
    static constexpr int kAcross = 0;
    static constexpr int kInside = 1;

    explicit FrustumBoxClassifier(const Vector* planes6);

    // kOutside when the box lies wholly outside one plane, kInside when wholly inside all six,
    // kAcross otherwise. A box within a small margin (relative to the magnitudes involved) of a
    // plane counts as across, so that a caller's exact test decides whatever the rounding.
    int Classify(const BoundingBox4& box) const
    {
        const __m128 half = _mm_set1_ps(0.5f);
        const __m128 center = _mm_mul_ps(_mm_add_ps(box.min.Simd(), box.max.Simd()), half);
        const __m128 extent = _mm_mul_ps(_mm_sub_ps(box.max.Simd(), box.min.Simd()), half);
        const __m128 signMask = _mm_set1_ps(-0.0f);
        const __m128 reach = _mm_add_ps(_mm_andnot_ps(signMask, center), extent);
        int outside = 0;
        int inside = 0xF;
        for (int group = 0; group < 2; ++group)
        {
            const Group& g = m_groups[group];
            const __m128 cx = _mm_shuffle_ps(center, center, _MM_SHUFFLE(0, 0, 0, 0));
            const __m128 cy = _mm_shuffle_ps(center, center, _MM_SHUFFLE(1, 1, 1, 1));
            const __m128 cz = _mm_shuffle_ps(center, center, _MM_SHUFFLE(2, 2, 2, 2));
            const __m128 ex = _mm_shuffle_ps(extent, extent, _MM_SHUFFLE(0, 0, 0, 0));
            const __m128 ey = _mm_shuffle_ps(extent, extent, _MM_SHUFFLE(1, 1, 1, 1));
            const __m128 ez = _mm_shuffle_ps(extent, extent, _MM_SHUFFLE(2, 2, 2, 2));
            const __m128 rx = _mm_shuffle_ps(reach, reach, _MM_SHUFFLE(0, 0, 0, 0));
            const __m128 ry = _mm_shuffle_ps(reach, reach, _MM_SHUFFLE(1, 1, 1, 1));
            const __m128 rz = _mm_shuffle_ps(reach, reach, _MM_SHUFFLE(2, 2, 2, 2));
            // Distance of the centre, the box's half width along the normal, and the margin.
            const __m128 distance = _mm_add_ps(
                _mm_add_ps(_mm_mul_ps(g.a, cx), _mm_mul_ps(g.b, cy)), _mm_add_ps(_mm_mul_ps(g.c, cz), g.d));
            const __m128 radius =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(g.absA, ex), _mm_mul_ps(g.absB, ey)), _mm_mul_ps(g.absC, ez));
            const __m128 margin = _mm_mul_ps(
                _mm_set1_ps(kRelativeMargin),
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(g.absA, rx), _mm_mul_ps(g.absB, ry)), _mm_add_ps(_mm_mul_ps(g.absC, rz), g.absD)));
            outside |= _mm_movemask_ps(_mm_cmplt_ps(_mm_add_ps(distance, radius), _mm_sub_ps(_mm_setzero_ps(), margin)));
            inside &= _mm_movemask_ps(_mm_cmpgt_ps(_mm_sub_ps(distance, radius), margin));
        }
        if (outside != 0)
            return kOutside;
        return inside == 0xF ? kInside : kAcross;
    }

private:
    // Far above float rounding in these sums (about 1e-7 of their terms), far below any real gap.
    static constexpr float kRelativeMargin = 4e-5f;

    struct Group
    {
        __m128 a, b, c, d;
        __m128 absA, absB, absC, absD;
    };
    Group m_groups[2];
};
