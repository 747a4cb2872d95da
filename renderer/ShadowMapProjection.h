// The directional shadow map's projection: a view from the origin along the scene's light
// direction, an orthographic box around the camera frustum cut at the ground, snapped to whole
// texels so that shadows do not crawl while the camera moves, and the texture matrix that maps a
// world position to the map. Pure functions: any thread.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

namespace ShadowMapProjection
{
// The world axis the up vector is crossed from: the one along which the direction has its smallest
// absolute component (Y when |y| <= |x| and |y| <= |z|; else Z when |z| < |x|; else X).
Vector ChooseUpAxis(const Vector& direction);
// The light view: from the origin towards `direction`, up = direction x the chosen axis.
Matrix LightView(const Vector& direction);
// Replaces each far corner (corners 4..7, paired with near corners 0..3) that lies below `height`
// by the point where its edge from the near corner reaches that height (1000 units along the edge
// when the edge is level).
void ClampFarCorners(Vector corners[8], float height);
// The light-space box rounded up to whole units and snapped: its centre's x and y lose their
// remainder modulo one texel (rounded size / map size); the depth range stays.
BoundingBox4 SnapBox(const BoundingBox4& lightBox, uint32_t mapSize);

struct Result
{
    Matrix view;
    Matrix projection;
    Matrix textureMatrix; // world position to (u, v, depth)
    BoundingBox4 box;     // light space, snapped
};
// The eight frustum corners from the inverse view-projection, clamped at `height`, through the
// light view, boxed, snapped, and projected orthographically (left-handed) over the box.
Result Compute(const Matrix& inverseViewProjection, const Vector& lightDirection, float height, uint32_t mapSize);
} // namespace ShadowMapProjection
