// Packed three-float vector for stored data (12 bytes, no alignment demand). Any thread.
#pragma once

#include "core/math/Vector.h"

// Three 32-bit floats x, y, z; the packed companion of Vector.
struct Vector3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    explicit Vector3(const Vector& v) : x(v.x), y(v.y), z(v.z) {}

    void Set(float x_, float y_, float z_) { x = x_; y = y_; z = z_; }
    // The Vector (x, y, z, w).
    Vector ToVector(float w) const { return Vector(x, y, z, w); }
};

static_assert(sizeof(Vector3) == 12);
