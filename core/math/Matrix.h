// 4x4 float transform: row vectors multiplied on the left, translation in row 3, left-handed, angles
// in degrees. Plain value: any thread.
#pragma once

#include "core/math/Vector.h"

struct Quaternion;

// Four row Vectors; element [i][j] is component j of row i. Transforming by A × B applies A, then B.
struct alignas(16) Matrix
{
    Vector rows[4];

    static const Matrix ZERO;
    static const Matrix ONE;

    float At(int row, int column) const { return (&rows[row].x)[column]; }

    void Set(const Vector& r0, const Vector& r1, const Vector& r2, const Vector& r3);
    void Set(const Matrix& m) { *this = m; }
    // All sixteen elements equal (a NaN never equals; 0 and -0 do). One compare per row, not a
    // branch per element: a scene load asks this of every entity's mount location.
    bool Equals(const Matrix& m) const
    {
        const __m128 top = _mm_and_ps(_mm_cmpeq_ps(rows[0].Simd(), m.rows[0].Simd()), _mm_cmpeq_ps(rows[1].Simd(), m.rows[1].Simd()));
        const __m128 bottom = _mm_and_ps(_mm_cmpeq_ps(rows[2].Simd(), m.rows[2].Simd()), _mm_cmpeq_ps(rows[3].Simd(), m.rows[3].Simd()));
        return _mm_movemask_ps(_mm_and_ps(top, bottom)) == 0xF;
    }

    // this = b × a: transforming by the result applies b, then a. this may alias a or b.
    void Mul(const Matrix& a, const Matrix& b);
    // this = m × this: applies m, then the old this.
    void MulInPlace(const Matrix& m);
    void Transpose();
    void TransposeOf(const Matrix& m);
    // General inverse. A singular matrix (determinant zero or too small for a finite inverse) gives
    // the identity and false instead of non-finite elements.
    bool Inverse();
    bool InverseOf(const Matrix& m);
    float Det() const;
    // Transpose of m with row 3 replaced by (0, 0, 0, 1): the inverse of a pure rotation.
    void SetTransposedRotation(const Matrix& m);
    // Columns 0, 1 and 2 as three Vectors (the 48-byte three-row form of affine matrices).
    void ToTransposed3x4(Vector* out3) const;

    void LoadTranslation(const Vector& v) { LoadTranslation(v.x, v.y, v.z); }
    void LoadTranslation(float x, float y, float z);
    void LoadScale(const Vector& v);
    void LoadUniformScale(float s);
    void LoadXRotation(float degrees);
    void LoadYRotation(float degrees);
    void LoadZRotation(float degrees);
    // S × Rx × Ry × Rz, then row 3 = translation: scaled, turned about X, Y, Z, then moved.
    void LoadComplexTransformation(const Vector& translation, const Vector& rotationDegrees, const Vector& scale);
    // The inverse of LoadComplexTransformation: angles in [0, 360) with w = 1; scale.w is not written.
    void Decompose(Vector& translation, Vector& rotationDegrees, Vector& scale) const;
    void LoadQuaternionAndTranslation(const Quaternion& q, const Vector& t);
    void LoadQuaternionTranslationAndScale(const Quaternion& q, const Vector& t, const Vector& s);
    // Maps the unit cube [0, 1]^3 onto the box [min, max].
    void LoadZeroOneToBox(const Vector& min, const Vector& max);

    // View and projection builders (left-handed). Degenerate input gives the identity and false.
    bool LoadLookAtLH(const Vector& eye, const Vector& at, const Vector& up);
    // Camera-to-world matrix; eye equal to at or up parallel to the view leaves zero rows.
    void LoadInverseLookAtLH(const Vector& eye, const Vector& at, const Vector& up);
    bool LoadPerspectiveLH(float width, float height, float zNear, float zFar);
    bool LoadPerspectiveFovLH(float fovYDegrees, float aspect, float zNear, float zFar);
    bool LoadPerspectiveOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar);
    bool LoadOrthoOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar);

    // Face-camera alignment of an object matrix by an entity template's "Face camera mode" (1 to 8;
    // other modes copy the object); offset is in world units towards the camera.
    void LoadBillboard(const Matrix& object, uint32_t mode, const Matrix& camera, float offset);

    // Debug text: four Vector lines labelled "r0:" to "r3:".
    void Log(uint32_t kind, uint8_t channel) const;
};

static_assert(sizeof(Matrix) == 64 && alignof(Matrix) == 16);
