#include "core/math/SinCosSSE.h"

#include <emmintrin.h>

void SinCosSSE(const Vector& angles, Vector& sines, Vector& cosines)
{
    const __m128 signMask = _mm_castsi128_ps(_mm_set1_epi32(int(0x80000000u)));
    const __m128 input = angles.Simd();
    __m128 x = _mm_andnot_ps(signMask, input);
    __m128 sinSign = _mm_and_ps(input, signMask);

    // Octant: j = (trunc(x·4/π) + 1) with bit 0 cleared.
    __m128i j = _mm_cvttps_epi32(_mm_mul_ps(x, _mm_set1_ps(1.2732395f)));
    j = _mm_and_si128(_mm_add_epi32(j, _mm_set1_epi32(1)), _mm_set1_epi32(~1));
    const __m128 y = _mm_cvtepi32_ps(j);

    const __m128 sinFlip = _mm_castsi128_ps(_mm_slli_epi32(_mm_and_si128(j, _mm_set1_epi32(4)), 29));
    const __m128 cosFlip = _mm_castsi128_ps(
        _mm_slli_epi32(_mm_andnot_si128(_mm_sub_epi32(j, _mm_set1_epi32(2)), _mm_set1_epi32(4)), 29));
    const __m128 useCosPolyForSin = _mm_castsi128_ps(
        _mm_cmpeq_epi32(_mm_and_si128(j, _mm_set1_epi32(2)), _mm_set1_epi32(2)));
    sinSign = _mm_xor_ps(sinSign, sinFlip);

    // Reduction to [-π/4, π/4] in three steps so the large multiples of π/4 cancel exactly.
    x = _mm_add_ps(x, _mm_mul_ps(y, _mm_set1_ps(-0.78515625f)));
    x = _mm_add_ps(x, _mm_mul_ps(y, _mm_set1_ps(-2.4187564849853515625e-4f)));
    x = _mm_add_ps(x, _mm_mul_ps(y, _mm_set1_ps(-3.77489497744594108e-8f)));

    const __m128 z = _mm_mul_ps(x, x);
    __m128 c = _mm_mul_ps(_mm_set1_ps(2.443315711809948e-5f), z);
    c = _mm_add_ps(c, _mm_set1_ps(-1.388731625493765e-3f));
    c = _mm_mul_ps(c, z);
    c = _mm_add_ps(c, _mm_set1_ps(4.166664568298827e-2f));
    c = _mm_mul_ps(_mm_mul_ps(c, z), z);
    c = _mm_sub_ps(c, _mm_mul_ps(z, _mm_set1_ps(0.5f)));
    c = _mm_add_ps(c, _mm_set1_ps(1.0f));

    __m128 s = _mm_mul_ps(_mm_set1_ps(-1.9515295891e-4f), z);
    s = _mm_add_ps(s, _mm_set1_ps(8.3321608736e-3f));
    s = _mm_mul_ps(s, z);
    s = _mm_add_ps(s, _mm_set1_ps(-1.6666654611e-1f));
    s = _mm_mul_ps(_mm_mul_ps(s, z), x);
    s = _mm_add_ps(s, x);

    const __m128 sine = _mm_or_ps(_mm_and_ps(useCosPolyForSin, c), _mm_andnot_ps(useCosPolyForSin, s));
    const __m128 cosine = _mm_or_ps(_mm_and_ps(useCosPolyForSin, s), _mm_andnot_ps(useCosPolyForSin, c));
    sines.SetSimd(_mm_xor_ps(sine, sinSign));
    cosines.SetSimd(_mm_xor_ps(cosine, cosFlip));
}
