// CollisionTriangle: one triangle the character controller collides with, with its plane, and the
// swept-sphere test against a set of them. Plain values and pure functions: any thread.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>
#include <vector>

// Three corners and the plane: unit normal in x, y, z and w = -dot(normal, a).
struct CollisionTriangle
{
    Vector a;
    Vector b;
    Vector c;
    Vector plane;

    // The normal is normalised cross(b - a, c - a); a degenerate triangle gets a zero plane.
    static CollisionTriangle FromCorners(const Vector& a, const Vector& b, const Vector& c);
    float SignedDistance(const Vector& p) const { return plane.x * p.x + plane.y * p.y + plane.z * p.z + plane.w; }
    // Turns the plane around (a mirrored transform flips the winding).
    void NegatePlane() { plane.Set(-plane.x, -plane.y, -plane.z, -plane.w); }
    float HighestY() const;
};

// The earliest touch of a moving sphere: how far along the direction, and the plane to slide on.
struct SweepContact
{
    bool hit = false;
    float distance = 0.0f;
    Vector normal;
    // Index of the touched triangle in the swept set.
    uint32_t triangle = 0;
};

namespace SphereSweep
{
// The sphere at `centre` moving along the unit `direction` by `distance` against one triangle.
// With `facesOnly` the corners and edges are not tested. A contact may lie beyond `distance`.
SweepContact AgainstTriangle(const CollisionTriangle& triangle, const Vector& centre, float radius,
                             const Vector& direction, float distance, bool facesOnly);
// The nearest contact over every triangle whose normal is not `skippedNormal`.
SweepContact AgainstAll(const std::vector<CollisionTriangle>& triangles, const Vector& centre, float radius,
                        const Vector& direction, float distance, bool facesOnly, const Vector& skippedNormal);
} // namespace SphereSweep
