#include "renderer/ShadowMapProjection.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{
// How far along a level edge its far corner is taken.
constexpr float kLevelEdgeReach = 1000.0f;
} // namespace

Vector ShadowMapProjection::ChooseUpAxis(const Vector& d)
{
    const float x = std::fabs(d.x), y = std::fabs(d.y), z = std::fabs(d.z);
    if (y <= x && y <= z)
        return Vector(0.0f, 1.0f, 0.0f, 0.0f);
    if (z < x)
        return Vector(0.0f, 0.0f, 1.0f, 0.0f);
    return Vector(1.0f, 0.0f, 0.0f, 0.0f);
}

Matrix ShadowMapProjection::LightView(const Vector& direction)
{
    Vector up;
    up.Cross(direction, ChooseUpAxis(direction));
    const Vector eye(0.0f, 0.0f, 0.0f, 1.0f);
    const Vector at(direction.x, direction.y, direction.z, 1.0f);
    Matrix view;
    view.LoadLookAtLH(eye, at, up);
    return view;
}

void ShadowMapProjection::ClampFarCorners(Vector corners[8], float height)
{
    for (int i = 0; i < 4; ++i)
    {
        const Vector& nearCorner = corners[i];
        Vector& farCorner = corners[i + 4];
        if (!(farCorner.y < height))
            continue;
        Vector d(farCorner.x - nearCorner.x, farCorner.y - nearCorner.y, farCorner.z - nearCorner.z, 0.0f);
        const float length = d.Length();
        if (length > 0.0f)
            d = Vector(d.x / length, d.y / length, d.z / length, 0.0f);
        const float t = std::fabs(d.y) > FLT_MIN ? (height - nearCorner.y) / d.y : kLevelEdgeReach;
        farCorner = Vector(nearCorner.x + d.x * t, nearCorner.y + d.y * t, nearCorner.z + d.z * t, 1.0f);
    }
}

BoundingBox4 ShadowMapProjection::SnapBox(const BoundingBox4& box, uint32_t mapSize)
{
    const float size = float(std::max(mapSize, 1u));
    const float width = std::ceil(box.max.x - box.min.x);
    const float height = std::ceil(box.max.y - box.min.y);
    float cx = (box.min.x + box.max.x) * 0.5f;
    float cy = (box.min.y + box.max.y) * 0.5f;
    const float texelX = width / size, texelY = height / size;
    if (texelX > 0.0f)
        cx -= std::fmod(cx, texelX);
    if (texelY > 0.0f)
        cy -= std::fmod(cy, texelY);
    return BoundingBox4(Vector(cx - width * 0.5f, cy - height * 0.5f, box.min.z, 1.0f),
                        Vector(cx + width * 0.5f, cy + height * 0.5f, box.max.z, 1.0f));
}

ShadowMapProjection::Result ShadowMapProjection::Compute(const Matrix& inverseViewProjection,
                                                         const Vector& lightDirection, float height,
                                                         uint32_t mapSize)
{
    Vector corners[8];
    for (int i = 0; i < 8; ++i)
    {
        // Corners 0..3 on the near plane (depth 0), 4..7 behind them on the far plane (depth 1).
        Vector corner((i & 1) != 0 ? 1.0f : -1.0f, (i & 2) != 0 ? 1.0f : -1.0f, i < 4 ? 0.0f : 1.0f, 1.0f);
        corner.Transform(inverseViewProjection);
        const float w = corner.w != 0.0f ? corner.w : 1.0f;
        corners[i] = Vector(corner.x / w, corner.y / w, corner.z / w, 1.0f);
    }
    ClampFarCorners(corners, height);
    Result result;
    result.view = LightView(lightDirection);
    BoundingBox4 box = BoundingBox4::INVALID;
    for (Vector corner : corners)
    {
        corner.Transform(result.view);
        box.Expand(corner);
    }
    result.box = SnapBox(box, mapSize);
    result.projection.LoadOrthoOffCenterLH(result.box.min.x, result.box.max.x, result.box.min.y, result.box.max.y,
                                           result.box.min.z, result.box.max.z);
    Matrix bias = Matrix::ONE;
    bias.rows[0] = Vector(0.5f, 0.0f, 0.0f, 0.0f);
    bias.rows[1] = Vector(0.0f, -0.5f, 0.0f, 0.0f);
    bias.rows[3] = Vector(0.5f, 0.5f, 0.0f, 1.0f);
    Matrix viewProjection;
    viewProjection.Mul(result.projection, result.view);
    result.textureMatrix.Mul(bias, viewProjection);
    return result;
}
