// Where a world point lands on a target of the given size through a view and a projection, for
// pixel probes of drawn scenes.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

struct PixelSpot
{
    uint32_t x;
    uint32_t y;
};

inline PixelSpot WorldPointPixel(const Matrix& projection, const Matrix& view, const Vector& world, float width,
                                 float height)
{
    Vector p = world;
    Matrix viewProjection;
    viewProjection.Mul(projection, view);
    p.Transform(viewProjection);
    return {uint32_t((p.x / p.w * 0.5f + 0.5f) * width), uint32_t((0.5f - p.y / p.w * 0.5f) * height)};
}
