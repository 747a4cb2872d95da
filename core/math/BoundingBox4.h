// Axis-aligned box of Vector corners and its containment, overlap, frustum, oriented-box and
// segment tests; touching counts as intersecting everywhere. Plain value: any thread.
#pragma once

#include "core/math/Vector.h"

struct Matrix;
struct OBBox4;

// Axis-aligned box [min, max]; boxes built from points carry w = 1 in both corners.
struct alignas(16) BoundingBox4
{
    Vector min;
    Vector max;

    constexpr BoundingBox4() = default;
    constexpr BoundingBox4(const Vector& min_, const Vector& max_) : min(min_), max(max_) {}

    static const BoundingBox4 ZERO4;
    // The empty box that any expansion replaces.
    static const BoundingBox4 INVALID;
    static const BoundingBox4 UNITCUBE3D;
    // The unbounded box (not offered to scripts).
    static const BoundingBox4 UNBOUNDED;

    void Set(const Vector& min_, const Vector& max_) { min = min_; max = max_; }
    const Vector& GetMin() const { return min; }
    const Vector& GetMax() const { return max; }
    bool operator==(const BoundingBox4& o) const { return min.Equal(o.min) && max.Equal(o.max); }

    bool IsValid3() const { return max.x >= min.x && max.y >= min.y && max.z >= min.z; }
    void GetCenter(Vector& c) const;
    // Corner i (0 to 7): bit 0 picks max.x, bit 1 max.y, bit 2 max.z; w is min.w.
    void GetVertex(Vector& v, uint32_t i) const;

    void Expand(const BoundingBox4& box);
    void Expand(const Vector& point);
    // Grows this by the eight corners of box placed by m.
    void Expand3D(const BoundingBox4& box, const Matrix& m);
    // The axis-aligned box enclosing box placed by m.
    void Transform3D(const BoundingBox4& box, const Matrix& m);
    void Transform3D(const OBBox4& obb);

    bool Inside3D(const Vector& p) const;
    bool Inside4D(const Vector& p) const;
    bool Inside3D(const BoundingBox4& box) const { return Inside3D(box.min) && Inside3D(box.max); }
    bool Inside4D(const BoundingBox4& box) const { return Inside4D(box.min) && Inside4D(box.max); }
    bool Overlaps3D(const BoundingBox4& box) const;

    // The point of this box placed by m nearest to the world point p. A zero axis row of m adds
    // nothing rather than NaN.
    void GetNearestPoint(const Vector& p, const Matrix& m, Vector& q) const;

    // False when the box lies entirely on the negative side of one of six inward planes.
    bool IntersectsFrustum(const Vector* planes6) const;
    // The same for this box placed by m.
    bool IntersectsFrustumTransformed(const Vector* planes6, const Matrix& m) const;

    // Oriented box test of this box placed by m against other placed by otherM (separating axes).
    bool CollidesWithOtherBox3D(const Matrix& m, const BoundingBox4& other, const Matrix& otherM) const;
    bool CollidesWithTransformedBox3D(const Matrix& m, const BoundingBox4& other) const;

    bool CollidesWithSegment3D(const Vector& p0, const Vector& p1) const;
    // The same with the first point of contact; a segment starting inside hits at p0.
    bool CollidesWithSegment3D(const Vector& p0, const Vector& p1, Vector& hit) const;
    // Segment against this box placed by m; a zero-length segment is tested as a point.
    bool CollidesWithSegment3DSlowSlowSlow(const Matrix& m, const Vector& p0, const Vector& p1) const;

    // Debug text: two Vector lines labelled "min:" and "max:".
    void Log(uint32_t kind, uint8_t channel) const;
};

static_assert(sizeof(BoundingBox4) == 32 && alignof(BoundingBox4) == 16);
