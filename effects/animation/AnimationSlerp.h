// The slerp that poses use: the same arc, end weights and near-parallel fallback as
// Quaternion::Slerp, with the arc cosine and the three sines evaluated as polynomials (one SSE
// vector for the sines) instead of library calls, which dominated the cost of a pose. Agrees with
// Quaternion::Slerp to a few 1e-7 for t in [0, 1]. Pure function: any thread.
#pragma once

#include "core/math/Quaternion.h"

#include <emmintrin.h>

#include <cmath>

namespace AnimationSlerp
{
// acos(c) for c in [0, 1]: sqrt(1 - c) times a degree-7 polynomial, absolute error below 2e-8.
inline float ArcCos(float c)
{
    float p = -0.0012624911f;
    p = p * c + 0.0066700901f;
    p = p * c - 0.0170881256f;
    p = p * c + 0.0308918810f;
    p = p * c - 0.0501743046f;
    p = p * c + 0.0889789874f;
    p = p * c - 0.2145988016f;
    p = p * c + 1.5707963050f;
    return std::sqrt(1.0f - c) * p;
}

// sin(x) of four angles in [0, pi/2]: the odd series to x^11, error below 6e-8 there.
inline __m128 Sine4(__m128 x)
{
    const __m128 x2 = _mm_mul_ps(x, x);
    __m128 p = _mm_set1_ps(-1.0f / 39916800.0f);
    p = _mm_add_ps(_mm_mul_ps(p, x2), _mm_set1_ps(1.0f / 362880.0f));
    p = _mm_add_ps(_mm_mul_ps(p, x2), _mm_set1_ps(-1.0f / 5040.0f));
    p = _mm_add_ps(_mm_mul_ps(p, x2), _mm_set1_ps(1.0f / 120.0f));
    p = _mm_add_ps(_mm_mul_ps(p, x2), _mm_set1_ps(-1.0f / 6.0f));
    p = _mm_add_ps(_mm_mul_ps(p, x2), _mm_set1_ps(1.0f));
    return _mm_mul_ps(p, x);
}

// Spherical interpolation from a to b along the shorter arc, t in [0, 1]; not renormalised.
inline Quaternion Slerp(const Quaternion& a, const Quaternion& b, float t)
{
    __m128 end = b.Simd();
    float c = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (c < 0.0f)
    {
        c = -c;
        end = _mm_sub_ps(_mm_setzero_ps(), end);
    }
    float k0 = 1.0f - t;
    float k1 = t;
    // Nearly parallel ends (and ends a little longer than unit, c > 1) interpolate linearly, as
    // Quaternion::Slerp does; the angle is then at least 0.0447 rad, so its sine never nears 0.
    if (1.0f - c > 0.001f)
    {
        const float theta = ArcCos(c);
        alignas(16) float sines[4];
        _mm_store_ps(sines, Sine4(_mm_setr_ps(theta, (1.0f - t) * theta, t * theta, 0.0f)));
        const float inverse = 1.0f / sines[0];
        k0 = sines[1] * inverse;
        k1 = sines[2] * inverse;
    }
    Quaternion result;
    result.SetSimd(_mm_add_ps(_mm_mul_ps(a.Simd(), _mm_set1_ps(k0)), _mm_mul_ps(end, _mm_set1_ps(k1))));
    return result;
}

// Four slerps at once with the arithmetic of Slerp per lane: a, b and out hold the x, y, z and w
// components of four quaternions each (structure of arrays), t one share per lane in [0, 1].
inline void Slerp4(const __m128 (&a)[4], const __m128 (&b)[4], __m128 t, __m128 (&out)[4])
{
    __m128 c = _mm_add_ps(_mm_add_ps(_mm_mul_ps(a[0], b[0]), _mm_mul_ps(a[1], b[1])),
                          _mm_add_ps(_mm_mul_ps(a[2], b[2]), _mm_mul_ps(a[3], b[3])));
    const __m128 sign = _mm_and_ps(c, _mm_set1_ps(-0.0f));
    c = _mm_xor_ps(c, sign);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 arc = _mm_cmpgt_ps(_mm_sub_ps(one, c), _mm_set1_ps(0.001f));
    // Lanes that interpolate linearly take an angle of 1 so that no lane divides by zero.
    const __m128 clamped = _mm_min_ps(c, one);
    __m128 p = _mm_set1_ps(-0.0012624911f);
    p = _mm_add_ps(_mm_mul_ps(p, clamped), _mm_set1_ps(0.0066700901f));
    p = _mm_sub_ps(_mm_mul_ps(p, clamped), _mm_set1_ps(0.0170881256f));
    p = _mm_add_ps(_mm_mul_ps(p, clamped), _mm_set1_ps(0.0308918810f));
    p = _mm_sub_ps(_mm_mul_ps(p, clamped), _mm_set1_ps(0.0501743046f));
    p = _mm_add_ps(_mm_mul_ps(p, clamped), _mm_set1_ps(0.0889789874f));
    p = _mm_sub_ps(_mm_mul_ps(p, clamped), _mm_set1_ps(0.2145988016f));
    p = _mm_add_ps(_mm_mul_ps(p, clamped), _mm_set1_ps(1.5707963050f));
    const __m128 theta = _mm_or_ps(_mm_and_ps(arc, _mm_mul_ps(_mm_sqrt_ps(_mm_sub_ps(one, clamped)), p)),
                                   _mm_andnot_ps(arc, one));
    const __m128 rest = _mm_sub_ps(one, t);
    const __m128 inverse = _mm_div_ps(one, Sine4(theta));
    const __m128 k0 = _mm_or_ps(_mm_and_ps(arc, _mm_mul_ps(Sine4(_mm_mul_ps(rest, theta)), inverse)),
                                _mm_andnot_ps(arc, rest));
    const __m128 k1 = _mm_xor_ps(
        _mm_or_ps(_mm_and_ps(arc, _mm_mul_ps(Sine4(_mm_mul_ps(t, theta)), inverse)), _mm_andnot_ps(arc, t)), sign);
    for (int i = 0; i < 4; ++i)
        out[i] = _mm_add_ps(_mm_mul_ps(a[i], k0), _mm_mul_ps(b[i], k1));
}
} // namespace AnimationSlerp
