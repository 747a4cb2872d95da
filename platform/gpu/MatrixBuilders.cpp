#include "platform/gpu/MatrixBuilders.h"

#include <cmath>

namespace gpu
{
namespace
{
void Identity(float* m)
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// Degenerate input is refused rather than turned into infinities.
bool Refuse(float* m)
{
    Identity(m);
    return false;
}

bool Normalize3(float* v)
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0.0f) || !std::isfinite(length))
        return false;
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
    return true;
}

void Cross3(float* out, const float* a, const float* b)
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

float Dot3(const float* a, const float* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void SetRows(float* m, float a0, float a1, float a2, float a3, float b0, float b1, float b2, float b3, float c0,
             float c1, float c2, float c3, float d0, float d1, float d2, float d3)
{
    const float values[16] = {a0, a1, a2, a3, b0, b1, b2, b3, c0, c1, c2, c3, d0, d1, d2, d3};
    for (int i = 0; i < 16; ++i)
        m[i] = values[i];
}
} // namespace

bool BuildLookAtLeftHanded(float* out16, const float* eye3, const float* at3, const float* up3)
{
    float zAxis[3] = {at3[0] - eye3[0], at3[1] - eye3[1], at3[2] - eye3[2]};
    if (!Normalize3(zAxis))
        return Refuse(out16);
    float xAxis[3];
    Cross3(xAxis, up3, zAxis);
    if (!Normalize3(xAxis))
        return Refuse(out16);
    float yAxis[3];
    Cross3(yAxis, zAxis, xAxis);
    SetRows(out16, xAxis[0], yAxis[0], zAxis[0], 0.0f, xAxis[1], yAxis[1], zAxis[1], 0.0f, xAxis[2], yAxis[2],
            zAxis[2], 0.0f, -Dot3(xAxis, eye3), -Dot3(yAxis, eye3), -Dot3(zAxis, eye3), 1.0f);
    return true;
}

bool BuildPerspectiveLeftHanded(float* out16, float width, float height, float zNear, float zFar)
{
    if (width == 0.0f || height == 0.0f || zNear == zFar)
        return Refuse(out16);
    const float depth = zFar / (zFar - zNear);
    SetRows(out16, 2.0f * zNear / width, 0, 0, 0, 0, 2.0f * zNear / height, 0, 0, 0, 0, depth, 1.0f, 0, 0,
            -zNear * depth, 0);
    return true;
}

bool BuildPerspectiveFovLeftHanded(float* out16, float fovYRadians, float aspect, float zNear, float zFar)
{
    const float tangent = std::tan(fovYRadians * 0.5f);
    if (tangent == 0.0f || !std::isfinite(tangent) || aspect == 0.0f || zNear == zFar)
        return Refuse(out16);
    const float yScale = 1.0f / tangent;
    const float depth = zFar / (zFar - zNear);
    SetRows(out16, yScale / aspect, 0, 0, 0, 0, yScale, 0, 0, 0, 0, depth, 1.0f, 0, 0, -zNear * depth, 0);
    return true;
}

bool BuildPerspectiveOffCentreLeftHanded(float* out16, float left, float right, float bottom, float top,
                                         float zNear, float zFar)
{
    if (left == right || bottom == top || zNear == zFar)
        return Refuse(out16);
    const float depth = zFar / (zFar - zNear);
    SetRows(out16, 2.0f * zNear / (right - left), 0, 0, 0, 0, 2.0f * zNear / (top - bottom), 0, 0,
            (left + right) / (left - right), (top + bottom) / (bottom - top), depth, 1.0f, 0, 0, -zNear * depth, 0);
    return true;
}

bool BuildOrthoOffCentreLeftHanded(float* out16, float left, float right, float bottom, float top, float zNear,
                                   float zFar)
{
    if (left == right || bottom == top || zNear == zFar)
        return Refuse(out16);
    SetRows(out16, 2.0f / (right - left), 0, 0, 0, 0, 2.0f / (top - bottom), 0, 0, 0, 0, 1.0f / (zFar - zNear), 0,
            (left + right) / (left - right), (top + bottom) / (bottom - top), zNear / (zNear - zFar), 1.0f);
    return true;
}
} // namespace gpu
