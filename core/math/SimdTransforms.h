// The row-times-matrix, matrix product and box placement kernels on SSE lanes, inline, for the
// paths that run them for every entity of a frame: called out of line, each result went through
// memory to the step that reads it next, and a move of an entity chains three of them. The math
// types' own operations use the same kernels, so both give the same floats.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"

#include <emmintrin.h>

// The row v times m: the sum of m's rows weighted by v's lanes.
inline __m128 RowTimesMatrix(__m128 v, const Matrix& m)
{
    const __m128 px = _mm_mul_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0)), m.rows[0].Simd());
    const __m128 py = _mm_mul_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)), m.rows[1].Simd());
    const __m128 pz = _mm_mul_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2)), m.rows[2].Simd());
    const __m128 pw = _mm_mul_ps(_mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)), m.rows[3].Simd());
    return _mm_add_ps(_mm_add_ps(px, py), _mm_add_ps(pz, pw));
}

// out = first x second, where out is not second (it may be first): no copy of second is needed.
inline void MatrixProductNotIntoSecond(Matrix& out, const Matrix& first, const Matrix& second)
{
    const __m128 r0 = RowTimesMatrix(first.rows[0].Simd(), second);
    const __m128 r1 = RowTimesMatrix(first.rows[1].Simd(), second);
    const __m128 r2 = RowTimesMatrix(first.rows[2].Simd(), second);
    const __m128 r3 = RowTimesMatrix(first.rows[3].Simd(), second);
    out.rows[0].SetSimd(r0);
    out.rows[1].SetSimd(r1);
    out.rows[2].SetSimd(r2);
    out.rows[3].SetSimd(r3);
}

// out = first x second; out may alias either operand.
inline void MatrixProduct(Matrix& out, const Matrix& first, const Matrix& second)
{
    const Matrix right = second;
    MatrixProductNotIntoSecond(out, first, right);
}

inline __m128 AbsLanes(__m128 v)
{
    return _mm_max_ps(v, _mm_sub_ps(_mm_setzero_ps(), v));
}

// v with its w lane replaced, assembled in a register: built in memory from its parts, it was read
// back as one load before its part stores could be forwarded, and every transform waited for them.
inline __m128 WithW(__m128 v, float w)
{
    const __m128 xyz = _mm_castsi128_ps(_mm_set_epi32(0, -1, -1, -1));
    return _mm_or_ps(_mm_and_ps(v, xyz), _mm_set_ps(w, 0.0f, 0.0f, 0.0f));
}

// The box that holds `box` placed by m: its centre placed as a point, its half extents grown by
// the magnitudes of m's axes.
inline void PlaceBoxLanes(const BoundingBox4& box, const Matrix& m, __m128& min, __m128& max)
{
    const __m128 centre = _mm_mul_ps(_mm_add_ps(box.min.Simd(), box.max.Simd()), _mm_set1_ps(0.5f));
    const __m128 half = _mm_sub_ps(box.max.Simd(), centre);
    const __m128 placed = RowTimesMatrix(WithW(centre, 1.0f), m);
    const __m128 extent = _mm_add_ps(
        _mm_add_ps(_mm_mul_ps(_mm_shuffle_ps(half, half, _MM_SHUFFLE(0, 0, 0, 0)), AbsLanes(m.rows[0].Simd())),
                   _mm_mul_ps(_mm_shuffle_ps(half, half, _MM_SHUFFLE(1, 1, 1, 1)), AbsLanes(m.rows[1].Simd()))),
        _mm_mul_ps(_mm_shuffle_ps(half, half, _MM_SHUFFLE(2, 2, 2, 2)), AbsLanes(m.rows[2].Simd())));
    min = _mm_sub_ps(placed, extent);
    max = _mm_add_ps(placed, extent);
}
