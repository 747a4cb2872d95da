// The engine's math types: Vector (four floats), Vector3, Matrix (row vectors, translation in row 3,
// left-handed), Quaternion, BoundingBox4, OBBox4, HDRColor, and small numeric helpers (SinCosSSE,
// Catmull-Rom curves, RandomGenerator). Values are 16-byte aligned and passed by reference so that
// every operation is a few four-wide SSE instructions on aligned loads. Angles are degrees at every
// public entry point; only SinCosSSE takes radians. Plain values: any thread may use them.
#pragma once

#include <cstdint>
#include <xmmintrin.h>

struct Matrix;

// Four 32-bit floats (x, y, z, w): positions, directions, planes (a, b, c, d), colours, scales.
struct alignas(16) Vector
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    constexpr Vector() = default;
    constexpr Vector(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    static const Vector ZERO4;
    static const Vector ONE;
    static const Vector HALF;
    static const Vector RAD2DEG;
    static const Vector UNITX;
    static const Vector UNITY;
    static const Vector UNITZ;
    static const Vector UNITW;
    static const Vector UNITXY;
    static const Vector UNITXZ;
    static const Vector UNITYZ;
    static const Vector UNITZW;
    static const Vector UNITXYZ;

    __m128 Simd() const { return _mm_load_ps(reinterpret_cast<const float*>(this)); }
    void SetSimd(__m128 value) { _mm_store_ps(reinterpret_cast<float*>(this), value); }

    void Set(float x_, float y_, float z_, float w_) { x = x_; y = y_; z = z_; w = w_; }
    void Set3(float x_, float y_, float z_) { x = x_; y = y_; z = z_; }

    float Dot3(const Vector& a) const;
    float Dot4(const Vector& a) const;
    float Length() const;
    float Length2() const;
    float Length2XZ() const { return x * x + z * z; }
    float Distance(const Vector& v) const;
    float Distance2(const Vector& v) const;
    float Distance2XZ(const Vector& v) const;
    bool Equal(const Vector& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }

    // Divides all four components by the xyz length. A zero (or underflowing) xyz length gives
    // ZERO4 instead of non-finite components.
    void Normalize();
    // The same with the fast reciprocal square root estimate; also ZERO4 for a zero xyz length.
    void NormalizeEst();

    void Negate(const Vector& v) { SetSimd(_mm_sub_ps(_mm_setzero_ps(), v.Simd())); }
    void Negate() { Negate(*this); }
    void NegateXYZ(const Vector& v) { Set(-v.x, -v.y, -v.z, v.w); }
    void Abs(const Vector& v) { SetSimd(_mm_max_ps(v.Simd(), _mm_sub_ps(_mm_setzero_ps(), v.Simd()))); }
    // this = a·(1 − t) + b·t with a per-component factor t.
    void Lerp(const Vector& a, const Vector& b, const Vector& t);
    // a × b on x, y, z; w is always 0.
    void Cross(const Vector& a, const Vector& b);

    void Add(const Vector& v) { SetSimd(_mm_add_ps(Simd(), v.Simd())); }
    void Add(const Vector& a, const Vector& b) { SetSimd(_mm_add_ps(a.Simd(), b.Simd())); }
    void Sub(const Vector& v) { SetSimd(_mm_sub_ps(Simd(), v.Simd())); }
    void Sub(const Vector& a, const Vector& b) { SetSimd(_mm_sub_ps(a.Simd(), b.Simd())); }
    void Mul(float s) { SetSimd(_mm_mul_ps(Simd(), _mm_set1_ps(s))); }
    void Mul(const Vector& v, float s) { SetSimd(_mm_mul_ps(v.Simd(), _mm_set1_ps(s))); }
    void Div(float s) { SetSimd(_mm_div_ps(Simd(), _mm_set1_ps(s))); }
    void Div(const Vector& v, float s) { SetSimd(_mm_div_ps(v.Simd(), _mm_set1_ps(s))); }
    void MulAdd(const Vector& v, float s) { MulAdd(*this, v, s); }
    void MulAdd(const Vector& a, const Vector& v, float s)
    {
        SetSimd(_mm_add_ps(a.Simd(), _mm_mul_ps(v.Simd(), _mm_set1_ps(s))));
    }
    void Min(const Vector& v) { SetSimd(_mm_min_ps(Simd(), v.Simd())); }
    void Max(const Vector& v) { SetSimd(_mm_max_ps(Simd(), v.Simd())); }
    void Clamp(const Vector& lo, const Vector& hi) { SetSimd(_mm_min_ps(hi.Simd(), _mm_max_ps(Simd(), lo.Simd()))); }

    // Colour vector to 0xAARRGGBB: each channel clamped to [0, 1], times 255, truncated.
    uint32_t GetRGBA() const;

    // Row vector times matrix, all four components.
    void Transform(const Matrix& m);
    void Transform(const Matrix& m, const Vector& v);
    void TransformPlane(const Matrix& m, const Vector& plane) { Transform(m, plane); }
    // The product divided by its w. A zero w keeps the undivided product (a point at infinity)
    // rather than non-finite components.
    void TransformHomogen(const Matrix& m);
    void TransformHomogen(const Matrix& m, const Vector& v);
    // (x, y, z, 1) × m: a point; the stored w is ignored.
    void Transform3D(const Matrix& m);
    // (x, y, z, 0) × m: a direction; the translation row does not contribute.
    void TransformNormal3D(const Matrix& m);

    // False for (nearly) collinear points, leaving the unnormalised normal with w = 0.
    bool BuildPlaneFromPoints(const Vector& p0, const Vector& p1, const Vector& p2);
    void ProjectOntoPlane(const Vector& plane, const Vector& p);
    // Moves p along dir onto the plane; false (this unchanged) when dir is nearly parallel to it.
    bool ProjectOntoPlane(const Vector& plane, const Vector& p, const Vector& dir);
    // Ray/plane intersection; t is written whenever dir is not parallel, even when the plane lies
    // behind the ray (then the result is false and this is unchanged).
    bool ProjectForwardOntoPlane(const Vector& plane, const Vector& origin, const Vector& dir, float& t);
    void Reflect(const Vector& v, const Vector& plane);
    void Reflect(const Vector& plane) { Reflect(*this, plane); }

    // Debug text: one console line, "label x, y, z, w" (no label when null).
    void Log(uint32_t kind, uint8_t channel, const char* label = nullptr) const;
    // "[x, y, z, w]" in one shared static buffer overwritten by the next call; main thread only.
    const char* ToString() const;
};

static_assert(sizeof(Vector) == 16 && alignof(Vector) == 16);
