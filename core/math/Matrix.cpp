#include "core/math/Matrix.h"

#include "core/math/Quaternion.h"
#include "core/math/SimdTransforms.h"
#include "platform/gpu/MatrixBuilders.h"

#include <cfloat>
#include <cmath>

const Matrix Matrix::ZERO = {};
const Matrix Matrix::ONE = {{Vector(1, 0, 0, 0), Vector(0, 1, 0, 0), Vector(0, 0, 1, 0), Vector(0, 0, 0, 1)}};

namespace
{
constexpr float kDegToRad = 0.017453292f;

// Cofactor scheme on the transposed matrix: the adjugate rows go to adjugate, the determinant
// (dot of the first transposed row with the first cofactor row) is returned broadcast.
__m128 Adjugate(const Matrix& m, __m128 adjugate[4])
{
    const __m128 a = m.rows[0].Simd();
    const __m128 b = m.rows[1].Simd();
    const __m128 c = m.rows[2].Simd();
    const __m128 d = m.rows[3].Simd();
    const __m128 abLow = _mm_movelh_ps(a, b);
    const __m128 cdLow = _mm_movelh_ps(c, d);
    const __m128 abHigh = _mm_movehl_ps(b, a);
    const __m128 cdHigh = _mm_movehl_ps(d, c);
    // Columns 0 and 2, and columns 1 and 3 turned by two lanes.
    const __m128 col0 = _mm_shuffle_ps(abLow, cdLow, 0x88);
    const __m128 col1 = _mm_shuffle_ps(cdLow, abLow, 0xDD);
    __m128 col2 = _mm_shuffle_ps(abHigh, cdHigh, 0x88);
    const __m128 col3 = _mm_shuffle_ps(cdHigh, abHigh, 0xDD);

    __m128 minor0, minor1, minor2, minor3, tmp;

    tmp = _mm_mul_ps(col2, col3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor0 = _mm_mul_ps(col1, tmp);
    minor1 = _mm_mul_ps(col0, tmp);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor0 = _mm_sub_ps(_mm_mul_ps(col1, tmp), minor0);
    minor1 = _mm_sub_ps(_mm_mul_ps(col0, tmp), minor1);
    minor1 = _mm_shuffle_ps(minor1, minor1, 0x4E);

    tmp = _mm_mul_ps(col1, col2);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor0 = _mm_add_ps(_mm_mul_ps(col3, tmp), minor0);
    minor3 = _mm_mul_ps(col0, tmp);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor0 = _mm_sub_ps(minor0, _mm_mul_ps(col3, tmp));
    minor3 = _mm_sub_ps(_mm_mul_ps(col0, tmp), minor3);
    minor3 = _mm_shuffle_ps(minor3, minor3, 0x4E);

    tmp = _mm_mul_ps(_mm_shuffle_ps(col1, col1, 0x4E), col3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    col2 = _mm_shuffle_ps(col2, col2, 0x4E);
    minor0 = _mm_add_ps(_mm_mul_ps(col2, tmp), minor0);
    minor2 = _mm_mul_ps(col0, tmp);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor0 = _mm_sub_ps(minor0, _mm_mul_ps(col2, tmp));
    minor2 = _mm_sub_ps(_mm_mul_ps(col0, tmp), minor2);
    minor2 = _mm_shuffle_ps(minor2, minor2, 0x4E);

    tmp = _mm_mul_ps(col0, col1);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor2 = _mm_add_ps(_mm_mul_ps(col3, tmp), minor2);
    minor3 = _mm_sub_ps(_mm_mul_ps(col2, tmp), minor3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor2 = _mm_sub_ps(_mm_mul_ps(col3, tmp), minor2);
    minor3 = _mm_sub_ps(minor3, _mm_mul_ps(col2, tmp));

    tmp = _mm_mul_ps(col0, col3);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor1 = _mm_sub_ps(minor1, _mm_mul_ps(col2, tmp));
    minor2 = _mm_add_ps(_mm_mul_ps(col1, tmp), minor2);
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor1 = _mm_add_ps(_mm_mul_ps(col2, tmp), minor1);
    minor2 = _mm_sub_ps(minor2, _mm_mul_ps(col1, tmp));

    tmp = _mm_mul_ps(col0, col2);
    tmp = _mm_shuffle_ps(tmp, tmp, 0xB1);
    minor1 = _mm_add_ps(_mm_mul_ps(col3, tmp), minor1);
    minor3 = _mm_sub_ps(minor3, _mm_mul_ps(col1, tmp));
    tmp = _mm_shuffle_ps(tmp, tmp, 0x4E);
    minor1 = _mm_sub_ps(minor1, _mm_mul_ps(col3, tmp));
    minor3 = _mm_add_ps(_mm_mul_ps(col1, tmp), minor3);

    adjugate[0] = minor0;
    adjugate[1] = minor1;
    adjugate[2] = minor2;
    adjugate[3] = minor3;

    __m128 det = _mm_mul_ps(col0, minor0);
    det = _mm_add_ps(_mm_shuffle_ps(det, det, 0x4E), det);
    det = _mm_add_ps(_mm_shuffle_ps(det, det, 0xB1), det);
    return det;
}

bool AllFinite(__m128 v)
{
    // x·0 is 0 for every finite x and NaN for infinities and NaN.
    const __m128 zero = _mm_setzero_ps();
    return _mm_movemask_ps(_mm_cmpeq_ps(_mm_mul_ps(v, zero), zero)) == 0xF;
}

// Rows scaled to the given length unless they are (nearly) zero; w cleared first.
void Fit(Vector& v, float length)
{
    v.w = 0.0f;
    const float current = v.Length();
    if (current > 0.0001f)
        v.Mul(length / current);
}

void ScaleRow(Vector& out, const Vector& v, float s)
{
    out.Mul(v, s);
}
} // namespace

void Matrix::Set(const Vector& r0, const Vector& r1, const Vector& r2, const Vector& r3)
{
    rows[0] = r0;
    rows[1] = r1;
    rows[2] = r2;
    rows[3] = r3;
}

void Matrix::Mul(const Matrix& a, const Matrix& b)
{
    MatrixProduct(*this, b, a);
}

void Matrix::MulInPlace(const Matrix& m)
{
    MatrixProduct(*this, m, *this);
}

void Matrix::Transpose()
{
    __m128 r0 = rows[0].Simd(), r1 = rows[1].Simd(), r2 = rows[2].Simd(), r3 = rows[3].Simd();
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    rows[0].SetSimd(r0);
    rows[1].SetSimd(r1);
    rows[2].SetSimd(r2);
    rows[3].SetSimd(r3);
}

void Matrix::TransposeOf(const Matrix& m)
{
    *this = m;
    Transpose();
}

bool Matrix::Inverse()
{
    return InverseOf(*this);
}

bool Matrix::InverseOf(const Matrix& m)
{
    __m128 adjugate[4];
    const __m128 det = Adjugate(m, adjugate);
    const float detValue = _mm_cvtss_f32(det);
    // Too small a determinant has no finite reciprocal: a singular matrix must not spread NaN.
    if (!(std::fabs(detValue) >= FLT_MIN) || !std::isfinite(detValue))
    {
        *this = ONE;
        return false;
    }
    __m128 r = _mm_rcp_ps(det);
    r = _mm_sub_ps(_mm_add_ps(r, r), _mm_mul_ps(det, _mm_mul_ps(r, r)));
    __m128 result[4];
    for (int i = 0; i < 4; ++i)
        result[i] = _mm_mul_ps(adjugate[i], r);
    if (!AllFinite(result[0]) || !AllFinite(result[1]) || !AllFinite(result[2]) || !AllFinite(result[3]))
    {
        *this = ONE;
        return false;
    }
    for (int i = 0; i < 4; ++i)
        rows[i].SetSimd(result[i]);
    return true;
}

float Matrix::Det() const
{
    __m128 adjugate[4];
    return _mm_cvtss_f32(Adjugate(*this, adjugate));
}

void Matrix::SetTransposedRotation(const Matrix& m)
{
    Set(m.rows[0], m.rows[1], m.rows[2], Vector::UNITW);
    Transpose();
}

void Matrix::ToTransposed3x4(Vector* out3) const
{
    Matrix t;
    t.TransposeOf(*this);
    out3[0] = t.rows[0];
    out3[1] = t.rows[1];
    out3[2] = t.rows[2];
}

void Matrix::LoadTranslation(float x, float y, float z)
{
    *this = ONE;
    rows[3].Set(x, y, z, 1.0f);
}

void Matrix::LoadScale(const Vector& v)
{
    Set(Vector(v.x, 0, 0, 0), Vector(0, v.y, 0, 0), Vector(0, 0, v.z, 0), Vector::UNITW);
}

void Matrix::LoadUniformScale(float s)
{
    Set(Vector(s, 0, 0, 0), Vector(0, s, 0, 0), Vector(0, 0, s, 0), Vector::UNITW);
}

void Matrix::LoadXRotation(float degrees)
{
    const float c = std::cos(degrees * kDegToRad);
    const float s = std::sin(degrees * kDegToRad);
    Set(Vector::UNITX, Vector(0, c, s, 0), Vector(0, -s, c, 0), Vector::UNITW);
}

void Matrix::LoadYRotation(float degrees)
{
    const float c = std::cos(degrees * kDegToRad);
    const float s = std::sin(degrees * kDegToRad);
    Set(Vector(c, 0, -s, 0), Vector::UNITY, Vector(s, 0, c, 0), Vector::UNITW);
}

void Matrix::LoadZRotation(float degrees)
{
    const float c = std::cos(degrees * kDegToRad);
    const float s = std::sin(degrees * kDegToRad);
    Set(Vector(c, s, 0, 0), Vector(-s, c, 0, 0), Vector::UNITZ, Vector::UNITW);
}

void Matrix::LoadComplexTransformation(const Vector& translation, const Vector& rotationDegrees, const Vector& scale)
{
    // Callers pass this matrix's own rows (an entity turned in place): copy them before the scale
    // overwrites them, or the position would be lost.
    const Vector position = translation;
    const Vector degrees = rotationDegrees;
    const Vector scaling = scale;
    Matrix rx, ry, rz;
    rx.LoadXRotation(degrees.x);
    ry.LoadYRotation(degrees.y);
    rz.LoadZRotation(degrees.z);
    LoadScale(scaling);
    MatrixProduct(*this, *this, rx);
    MatrixProduct(*this, *this, ry);
    MatrixProduct(*this, *this, rz);
    rows[3].Set(position.x, position.y, position.z, 1.0f);
}

void Matrix::Decompose(Vector& translation, Vector& rotationDegrees, Vector& scale) const
{
    translation = rows[3];
    scale.x = rows[0].Length();
    scale.y = rows[1].Length();
    scale.z = rows[2].Length();
    if (Det() < 0.0f)
        scale.z = -scale.z;

    const float scales[3] = {scale.x, scale.y, scale.z};
    float r[3][3];
    for (int i = 0; i < 3; ++i)
    {
        const float divisor = std::fabs(scales[i]) > 0.0001f ? scales[i] : 1.0f;
        r[i][0] = At(i, 0) / divisor;
        r[i][1] = At(i, 1) / divisor;
        r[i][2] = At(i, 2) / divisor;
    }

    float x, y, z;
    if (r[0][2] >= 0.999999f)
    {
        x = std::atan2(-r[1][0], -r[2][0]);
        y = 4.712389f;
        z = 0.0f;
    }
    else if (r[0][2] <= -0.999999f)
    {
        x = std::atan2(r[1][0], r[2][0]);
        y = 1.5707964f;
        z = 0.0f;
    }
    else
    {
        x = std::atan2(r[1][2], r[2][2]);
        y = std::asin(-r[0][2]);
        z = std::atan2(r[0][1], r[0][0]);
    }
    float angles[3] = {x * 57.29578f, y * 57.29578f, z * 57.29578f};
    for (float& angle : angles)
        if (angle < 0.0f)
            angle += 360.0f;
    rotationDegrees.Set(angles[0], angles[1], angles[2], 1.0f);
}

void Matrix::LoadQuaternionAndTranslation(const Quaternion& q, const Vector& t)
{
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    Set(Vector(1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0),
        Vector(2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0),
        Vector(2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0), Vector(t.x, t.y, t.z, 1));
}

void Matrix::LoadQuaternionTranslationAndScale(const Quaternion& q, const Vector& t, const Vector& s)
{
    LoadQuaternionAndTranslation(q, t);
    rows[0].Mul(s.x);
    rows[1].Mul(s.y);
    rows[2].Mul(s.z);
}

void Matrix::LoadZeroOneToBox(const Vector& min, const Vector& max)
{
    Set(Vector(max.x - min.x, 0, 0, 0), Vector(0, max.y - min.y, 0, 0), Vector(0, 0, max.z - min.z, 0),
        Vector(min.x, min.y, min.z, 1));
}

bool Matrix::LoadLookAtLH(const Vector& eye, const Vector& at, const Vector& up)
{
    return gpu::BuildLookAtLeftHanded(&rows[0].x, &eye.x, &at.x, &up.x);
}

void Matrix::LoadInverseLookAtLH(const Vector& eye, const Vector& at, const Vector& up)
{
    Vector forward;
    forward.Sub(at, eye);
    forward.Normalize();
    Vector right;
    right.Cross(up, forward);
    right.Normalize();
    Vector upward;
    upward.Cross(forward, right);
    upward.Normalize();
    Set(right, upward, forward, eye);
}

bool Matrix::LoadPerspectiveLH(float width, float height, float zNear, float zFar)
{
    return gpu::BuildPerspectiveLeftHanded(&rows[0].x, width, height, zNear, zFar);
}

bool Matrix::LoadPerspectiveFovLH(float fovYDegrees, float aspect, float zNear, float zFar)
{
    return gpu::BuildPerspectiveFovLeftHanded(&rows[0].x, fovYDegrees * kDegToRad, aspect, zNear, zFar);
}

bool Matrix::LoadPerspectiveOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar)
{
    return gpu::BuildPerspectiveOffCentreLeftHanded(&rows[0].x, left, right, bottom, top, zNear, zFar);
}

bool Matrix::LoadOrthoOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar)
{
    return gpu::BuildOrthoOffCentreLeftHanded(&rows[0].x, left, right, bottom, top, zNear, zFar);
}

void Matrix::LoadBillboard(const Matrix& object, uint32_t mode, const Matrix& camera, float offset)
{
    const Matrix o = object;
    const Matrix k = camera;
    const float sx = o.rows[0].Length();
    const float sy = o.rows[1].Length();
    const float sz = o.rows[2].Length();
    Vector toCamera;
    toCamera.Sub(k.rows[3], o.rows[3]);
    toCamera.Normalize();
    Vector pos;
    pos.MulAdd(o.rows[3], toCamera, offset);

    switch (mode)
    {
    case 1: // "Screen-full"
        ScaleRow(rows[0], k.rows[0], sx);
        ScaleRow(rows[1], k.rows[1], sy);
        ScaleRow(rows[2], k.rows[2], sz);
        rows[3] = pos;
        break;
    case 2: // "Camera-full"
        rows[0].Cross(k.rows[1], toCamera);
        Fit(rows[0], sx);
        rows[1].Cross(k.rows[0], toCamera);
        Fit(rows[1], sy);
        ScaleRow(rows[2], toCamera, sz);
        rows[2].w = 0.0f;
        rows[3] = pos;
        break;
    case 3: // "Fix-X"
    case 5: // "Screen fix-X"
        rows[0] = o.rows[0];
        rows[1].Cross(mode == 3 ? toCamera : k.rows[2], o.rows[0]);
        Fit(rows[1], sy);
        rows[2].Cross(rows[0], rows[1]);
        Fit(rows[2], sz);
        rows[3] = pos;
        break;
    case 4: // "Fix-Y"
    case 6: // "Screen fix-Y"
        rows[0].Cross(mode == 4 ? toCamera : k.rows[2], o.rows[1]);
        Fit(rows[0], sx);
        rows[1] = o.rows[1];
        rows[2].Cross(rows[0], rows[1]);
        Fit(rows[2], sz);
        rows[3] = pos;
        break;
    case 7: // "Camera offset"
        Set(o.rows[0], o.rows[1], o.rows[2], pos);
        break;
    case 8: // "World-ground"
    {
        Vector d = o.rows[0];
        // A zero row has no heading; it keeps the ground pose at angle 0 instead of NaN.
        if (sx > 0.0f)
            d.Mul(1.0f / sx);
        const float a = std::atan2(d.y, d.x);
        const float sign = (a >= -1.5707964f && a <= 1.5707964f) ? 1.0f : -1.0f;
        const float p = std::atan2(-d.z, sign * std::sqrt(d.x * d.x + d.y * d.y));
        const float c = std::cos(p);
        const float s = std::sin(p);
        Set(Vector(sx * c, 0, -sx * s, 0), Vector(0, sy, 0, 0), Vector(sz * s, 0, sz * c, 0), o.rows[3]);
        break;
    }
    default:
        *this = o;
        break;
    }
}

void Matrix::Log(uint32_t kind, uint8_t channel) const
{
    rows[0].Log(kind, channel, "r0:");
    rows[1].Log(kind, channel, "r1:");
    rows[2].Log(kind, channel, "r2:");
    rows[3].Log(kind, channel, "r3:");
}
