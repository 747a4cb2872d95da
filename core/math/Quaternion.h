// Rotation quaternion (x, y, z vector part, w scalar part), Hamilton product. Its matrix is
// Matrix::LoadQuaternionAndTranslation; the rotation a·b applies b first, then a. Angles in
// degrees. Plain value: any thread.
#pragma once

#include "core/math/Vector.h"

struct Matrix;

// Unit quaternion rotation sharing the Vector layout; no operation renormalises.
struct alignas(16) Quaternion
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 1.0f;

    constexpr Quaternion() = default;
    constexpr Quaternion(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    // The identity rotation (the script's name for it).
    static const Quaternion ZERO;
    static const Quaternion MAX;

    __m128 Simd() const { return _mm_load_ps(reinterpret_cast<const float*>(this)); }
    void SetSimd(__m128 value) { _mm_store_ps(reinterpret_cast<float*>(this), value); }

    // this = this·q.
    void Mul(const Quaternion& q) { SetProduct(*this, q); }
    // this = a·b; this may alias a or b.
    void SetProduct(const Quaternion& a, const Quaternion& b);
    void Conjugate();
    // Rotation about axis (any non-zero length). A zero axis gives the identity instead of NaN.
    void SetAxisAlpha(const Vector& axis, float degrees);
    void LoadXRotation(float degrees) { SetAxisAlpha(Vector::UNITX, degrees); }
    void LoadYRotation(float degrees) { SetAxisAlpha(Vector::UNITY, degrees); }
    void LoadZRotation(float degrees) { SetAxisAlpha(Vector::UNITZ, degrees); }
    // qz·qy·qx of angles.x, .y, .z: the rotation of Matrix::LoadComplexTransformation.
    void LoadEulerDegrees(const Vector& angles);
    // The rotation of the upper 3x3 of m, which must be a pure rotation.
    void LoadMatrix(const Matrix& m);
    // The shortest rotation turning the unit direction from into to.
    void LoadRotationArc(const Vector& from, const Vector& to);
    // Spherical interpolation along the shorter arc; not renormalised.
    void Slerp(const Quaternion& a, const Quaternion& b, float t);
};

static_assert(sizeof(Quaternion) == 16 && alignof(Quaternion) == 16);
