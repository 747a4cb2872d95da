#include "core/math/Vector.h"

#include "core/console/GameConsole.h"
#include "core/math/Matrix.h"
#include "core/math/SimdTransforms.h"

#include <cmath>
#include <cstdio>
#include <emmintrin.h>

const Vector Vector::ZERO4(0.0f, 0.0f, 0.0f, 0.0f);
const Vector Vector::ONE(1.0f, 1.0f, 1.0f, 1.0f);
const Vector Vector::HALF(0.5f, 0.5f, 0.5f, 0.5f);
const Vector Vector::RAD2DEG(57.29578f, 57.29578f, 57.29578f, 57.29578f);
const Vector Vector::UNITX(1.0f, 0.0f, 0.0f, 0.0f);
const Vector Vector::UNITY(0.0f, 1.0f, 0.0f, 0.0f);
const Vector Vector::UNITZ(0.0f, 0.0f, 1.0f, 0.0f);
const Vector Vector::UNITW(0.0f, 0.0f, 0.0f, 1.0f);
const Vector Vector::UNITXY(1.0f, 1.0f, 0.0f, 0.0f);
const Vector Vector::UNITXZ(1.0f, 0.0f, 1.0f, 0.0f);
const Vector Vector::UNITYZ(0.0f, 1.0f, 1.0f, 0.0f);
const Vector Vector::UNITZW(0.0f, 0.0f, 1.0f, 1.0f);
const Vector Vector::UNITXYZ(1.0f, 1.0f, 1.0f, 0.0f);

namespace
{
// Sum of the four lanes, broadcast to all four.
inline __m128 HorizontalSum(__m128 v)
{
    const __m128 swapped = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1));
    const __m128 pairs = _mm_add_ps(v, swapped);
    return _mm_add_ps(pairs, _mm_shuffle_ps(pairs, pairs, _MM_SHUFFLE(1, 0, 3, 2)));
}

// The ignored w lane is multiplied by 0 rather than dropped, as every xyz sum of this type does.
inline __m128 Dot3Broadcast(__m128 a, __m128 b)
{
    return HorizontalSum(_mm_mul_ps(_mm_mul_ps(a, b), Vector::UNITXYZ.Simd()));
}

inline __m128 Homogen(__m128 product)
{
    const __m128 w = _mm_shuffle_ps(product, product, _MM_SHUFFLE(3, 3, 3, 3));
    if (_mm_cvtss_f32(w) == 0.0f)
        return product;
    return _mm_div_ps(product, w);
}

} // namespace

float Vector::Dot3(const Vector& a) const
{
    return _mm_cvtss_f32(Dot3Broadcast(Simd(), a.Simd()));
}

float Vector::Dot4(const Vector& a) const
{
    return _mm_cvtss_f32(HorizontalSum(_mm_mul_ps(Simd(), a.Simd())));
}

float Vector::Length2() const
{
    return Dot3(*this);
}

float Vector::Length() const
{
    return static_cast<float>(std::sqrt(static_cast<double>(Length2())));
}

float Vector::Distance(const Vector& v) const
{
    Vector d;
    d.Sub(*this, v);
    return d.Length();
}

float Vector::Distance2(const Vector& v) const
{
    Vector d;
    d.Sub(*this, v);
    return d.Length2();
}

float Vector::Distance2XZ(const Vector& v) const
{
    const float dx = x - v.x;
    const float dz = z - v.z;
    return dx * dx + dz * dz;
}

void Vector::Normalize()
{
    const __m128 length = _mm_sqrt_ps(Dot3Broadcast(Simd(), Simd()));
    // A zero length would turn every component into NaN or infinity.
    if (!(_mm_cvtss_f32(length) > 0.0f))
    {
        *this = ZERO4;
        return;
    }
    SetSimd(_mm_div_ps(Simd(), length));
}

void Vector::NormalizeEst()
{
    const __m128 length2 = Dot3Broadcast(Simd(), Simd());
    const __m128 scale = _mm_rsqrt_ps(length2);
    // rsqrt of zero (or of a denormal sum) is infinite.
    if (!(_mm_cvtss_f32(length2) > 0.0f) || !std::isfinite(_mm_cvtss_f32(scale)))
    {
        *this = ZERO4;
        return;
    }
    SetSimd(_mm_mul_ps(Simd(), scale));
}

void Vector::Lerp(const Vector& a, const Vector& b, const Vector& t)
{
    const __m128 weightA = _mm_sub_ps(ONE.Simd(), t.Simd());
    SetSimd(_mm_add_ps(_mm_mul_ps(a.Simd(), weightA), _mm_mul_ps(b.Simd(), t.Simd())));
}

void Vector::Cross(const Vector& a, const Vector& b)
{
    Set(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0.0f);
}

uint32_t Vector::GetRGBA() const
{
    const __m128 clamped = _mm_min_ps(_mm_max_ps(Simd(), _mm_setzero_ps()), ONE.Simd());
    // cvtt truncates whatever the rounding mode.
    alignas(16) int32_t channel[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(channel), _mm_cvttps_epi32(_mm_mul_ps(clamped, _mm_set1_ps(255.0f))));
    return (uint32_t(channel[3]) << 24) | (uint32_t(channel[0]) << 16) | (uint32_t(channel[1]) << 8) |
           uint32_t(channel[2]);
}

void Vector::Transform(const Matrix& m)
{
    SetSimd(RowTimesMatrix(Simd(), m));
}

void Vector::Transform(const Matrix& m, const Vector& v)
{
    SetSimd(RowTimesMatrix(v.Simd(), m));
}

void Vector::TransformHomogen(const Matrix& m)
{
    SetSimd(Homogen(RowTimesMatrix(Simd(), m)));
}

void Vector::TransformHomogen(const Matrix& m, const Vector& v)
{
    SetSimd(Homogen(RowTimesMatrix(v.Simd(), m)));
}

void Vector::Transform3D(const Matrix& m)
{
    SetSimd(RowTimesMatrix(WithW(Simd(), 1.0f), m));
}

void Vector::TransformNormal3D(const Matrix& m)
{
    SetSimd(RowTimesMatrix(WithW(Simd(), 0.0f), m));
}

bool Vector::BuildPlaneFromPoints(const Vector& p0, const Vector& p1, const Vector& p2)
{
    Vector a, b;
    a.Sub(p2, p1);
    b.Sub(p0, p1);
    Vector n;
    n.Cross(a, b);
    const float length2 = n.Length2();
    if (length2 < 0.000001f)
    {
        *this = n;
        return false;
    }
    n.Mul(1.0f / std::sqrt(length2));
    n.w = -p0.Dot3(n);
    *this = n;
    return true;
}

void Vector::ProjectOntoPlane(const Vector& plane, const Vector& p)
{
    const float s = plane.Dot4(p);
    Set(p.x - plane.x * s, p.y - plane.y * s, p.z - plane.z * s, p.w);
}

bool Vector::ProjectOntoPlane(const Vector& plane, const Vector& p, const Vector& dir)
{
    const float den = plane.Dot3(dir);
    if (std::fabs(den) <= 0.001f)
        return false;
    const float k = plane.Dot4(p) / den;
    Set(p.x - dir.x * k, p.y - dir.y * k, p.z - dir.z * k, p.w);
    return true;
}

bool Vector::ProjectForwardOntoPlane(const Vector& plane, const Vector& origin, const Vector& dir, float& t)
{
    const float den = plane.Dot3(dir);
    if (std::fabs(den) <= 0.001f)
        return false;
    t = -plane.Dot4(origin) / den;
    if (t < 0.0f)
        return false;
    Set(origin.x + dir.x * t, origin.y + dir.y * t, origin.z + dir.z * t, origin.w);
    return true;
}

void Vector::Reflect(const Vector& v, const Vector& plane)
{
    const float k = 2.0f * v.Dot3(plane);
    SetSimd(_mm_sub_ps(v.Simd(), _mm_mul_ps(plane.Simd(), _mm_set1_ps(k))));
}

void Vector::Log(uint32_t kind, uint8_t channel, const char* label) const
{
    if (label)
        gConsole.Printf(kind, channel, "%s %.6f, %.6f, %.6f, %.6f", label, x, y, z, w);
    else
        gConsole.Printf(kind, channel, "%.6f, %.6f, %.6f, %.6f", x, y, z, w);
}

const char* Vector::ToString() const
{
    static char buffer[1024];
    std::snprintf(buffer, sizeof(buffer), "[%.6f, %.6f, %.6f, %.6f]", x, y, z, w);
    return buffer;
}
