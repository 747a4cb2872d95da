#include "core/math/CatmullRom.h"

namespace
{
// a·p0 + b·p1 + c·p2 + d·p3 on all four components.
__m128 Combine(float a, float b, float c, float d, const Vector& p0, const Vector& p1, const Vector& p2,
               const Vector& p3)
{
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(a), p0.Simd()), _mm_mul_ps(_mm_set1_ps(b), p1.Simd())),
                      _mm_add_ps(_mm_mul_ps(_mm_set1_ps(c), p2.Simd()), _mm_mul_ps(_mm_set1_ps(d), p3.Simd())));
}
} // namespace

void CatmullRomPoint(Vector& p, float t, const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3)
{
    const float t2 = t * t;
    const float t3 = t2 * t;
    const __m128 linear = Combine(-1, 0, 1, 0, p0, p1, p2, p3);
    const __m128 constant = Combine(0, 2, 0, 0, p0, p1, p2, p3);
    const __m128 square = Combine(2, -5, 4, -1, p0, p1, p2, p3);
    const __m128 cube = Combine(-1, 3, -3, 1, p0, p1, p2, p3);
    const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_mul_ps(linear, _mm_set1_ps(t)), constant),
                                  _mm_add_ps(_mm_mul_ps(square, _mm_set1_ps(t2)), _mm_mul_ps(cube, _mm_set1_ps(t3))));
    p.SetSimd(_mm_mul_ps(sum, _mm_set1_ps(0.5f)));
}

void CatmullRomTangent(Vector& v, float t, const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3)
{
    const __m128 constant = Combine(-1, 0, 1, 0, p0, p1, p2, p3);
    const __m128 linear = Combine(4, -10, 8, -2, p0, p1, p2, p3);
    const __m128 square = Combine(-3, 9, -9, 3, p0, p1, p2, p3);
    const __m128 sum = _mm_add_ps(_mm_add_ps(constant, _mm_mul_ps(linear, _mm_set1_ps(t))),
                                  _mm_mul_ps(square, _mm_set1_ps(t * t)));
    v.SetSimd(_mm_mul_ps(sum, _mm_set1_ps(0.5f)));
}

void CatmullRomNearestPoint(Vector& point, float& t, float& length, const Vector& target, const Vector& p0,
                            const Vector& p1, const Vector& p2, const Vector& p3)
{
    point = p1;
    t = 0.0f;
    length = 0.0f;
    float best = 3.4028235e38f;
    Vector previous = p1;
    float running = 0.0f;
    for (int i = 0; i <= 128; ++i)
    {
        const float u = i * 0.0078125f;
        Vector sample;
        CatmullRomPoint(sample, u, p0, p1, p2, p3);
        running += sample.Distance(previous);
        previous = sample;
        const float distance2 = sample.Distance2(target);
        if (distance2 < best)
        {
            best = distance2;
            point = sample;
            t = u;
            length = running;
        }
    }
}
