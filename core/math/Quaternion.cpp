#include "core/math/Quaternion.h"

#include "core/math/Matrix.h"

#include <cmath>

const Quaternion Quaternion::ZERO(0.0f, 0.0f, 0.0f, 1.0f);
const Quaternion Quaternion::MAX(3.4028235e38f, 3.4028235e38f, 3.4028235e38f, 3.4028235e38f);

void Quaternion::SetProduct(const Quaternion& a, const Quaternion& b)
{
    const Quaternion p(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
                       a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    *this = p;
}

void Quaternion::Conjugate()
{
    SetSimd(_mm_mul_ps(Simd(), _mm_set_ps(1.0f, -1.0f, -1.0f, -1.0f)));
}

void Quaternion::SetAxisAlpha(const Vector& axis, float degrees)
{
    const float length = axis.Length();
    if (!(length > 0.0f))
    {
        *this = ZERO;
        return;
    }
    const float half = degrees * 0.017453292f * 0.5f;
    const float k = std::sin(half) / length;
    *this = Quaternion(axis.x * k, axis.y * k, axis.z * k, std::cos(half));
}

void Quaternion::LoadEulerDegrees(const Vector& angles)
{
    const float hx = angles.x * 0.008726646f;
    const float hy = angles.y * 0.008726646f;
    const float hz = angles.z * 0.008726646f;
    const float cx = std::cos(hx), sx = std::sin(hx);
    const float cy = std::cos(hy), sy = std::sin(hy);
    const float cz = std::cos(hz), sz = std::sin(hz);
    *this = Quaternion(sx * cy * cz - cx * sy * sz, sx * cy * sz + cx * sy * cz, cx * cy * sz - sx * sy * cz,
                       cx * cy * cz + sx * sy * sz);
}

void Quaternion::LoadMatrix(const Matrix& m)
{
    const float trace = m.At(0, 0) + m.At(1, 1) + m.At(2, 2);
    if (trace > 0.0f)
    {
        const float s = std::sqrt(trace + 1.0f);
        const float k = 0.5f / s;
        *this = Quaternion((m.At(1, 2) - m.At(2, 1)) * k, (m.At(2, 0) - m.At(0, 2)) * k, (m.At(0, 1) - m.At(1, 0)) * k,
                           0.5f * s);
        return;
    }
    int i = 0;
    if (m.At(1, 1) > m.At(0, 0))
        i = 1;
    if (m.At(2, 2) > m.At(i, i))
        i = 2;
    const int j = (i + 1) % 3;
    const int k = (j + 1) % 3;
    const float s = std::sqrt(m.At(i, i) - (m.At(j, j) + m.At(k, k)) + 1.0f);
    const float t = s != 0.0f ? 0.5f / s : 0.0f;
    float q[3];
    q[i] = 0.5f * s;
    q[j] = (m.At(i, j) + m.At(j, i)) * t;
    q[k] = (m.At(i, k) + m.At(k, i)) * t;
    *this = Quaternion(q[0], q[1], q[2], (m.At(j, k) - m.At(k, j)) * t);
}

void Quaternion::LoadRotationArc(const Vector& from, const Vector& to)
{
    const float d = from.Dot3(to);
    if (d < -0.999f)
    {
        Vector axis(-from.y, from.x, 0.0f, 0.0f);
        if (axis.Length2() < 0.01f)
            axis.Set(0.0f, -from.z, from.y, 0.0f);
        SetAxisAlpha(axis, 180.0f);
        return;
    }
    const float s = std::sqrt(2.0f * (1.0f + d));
    Vector axis;
    axis.Cross(from, to);
    *this = Quaternion(axis.x / s, axis.y / s, axis.z / s, s * 0.5f);
}

void Quaternion::Slerp(const Quaternion& a, const Quaternion& b, float t)
{
    __m128 end = b.Simd();
    float c = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (c < 0.0f)
    {
        c = -c;
        end = _mm_sub_ps(_mm_setzero_ps(), end);
    }
    float k0, k1;
    if (1.0f - c > 0.001f)
    {
        const float theta = std::acos(c);
        const float sinTheta = std::sin(theta);
        k0 = std::sin((1.0f - t) * theta) / sinTheta;
        k1 = std::sin(t * theta) / sinTheta;
    }
    else
    {
        k0 = 1.0f - t;
        k1 = t;
    }
    SetSimd(_mm_add_ps(_mm_mul_ps(a.Simd(), _mm_set1_ps(k0)), _mm_mul_ps(end, _mm_set1_ps(k1))));
}
