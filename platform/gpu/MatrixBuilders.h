// View and projection matrix builders of the graphics device: left-handed, row vectors, 16 floats
// row-major (translation in the last row), the layout of the engine's Matrix. Any thread.
#pragma once

namespace gpu
{
// View matrix looking from eye towards at (three floats each). False and the identity when eye
// equals at or up is parallel to the view direction.
bool BuildLookAtLeftHanded(float* out16, const float* eye3, const float* at3, const float* up3);
// Perspective projection of a view volume width x height at zNear. False and the identity when a
// size is zero or zNear equals zFar.
bool BuildPerspectiveLeftHanded(float* out16, float width, float height, float zNear, float zFar);
// Perspective projection from a vertical field of view in radians and a width/height aspect.
bool BuildPerspectiveFovLeftHanded(float* out16, float fovYRadians, float aspect, float zNear, float zFar);
bool BuildPerspectiveOffCentreLeftHanded(float* out16, float left, float right, float bottom, float top,
                                         float zNear, float zFar);
bool BuildOrthoOffCentreLeftHanded(float* out16, float left, float right, float bottom, float top,
                                   float zNear, float zFar);
} // namespace gpu
