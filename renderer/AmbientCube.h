// AmbientCube: the lighting cube that lit meshes read their ambient light from, drawn face by face
// from the directional-ambient lights (NorvexRenderer::RenderAmbientCube). The frame set-up redraws
// it when the list of those lights changed or the renderer's light mask did. Render thread only.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

class LightRenderData;

namespace AmbientCube
{
// A face's basis: the direction through its centre and its up axis.
struct FaceBasis
{
    Vector forward;
    Vector up;
};
// +X, -X, +Y, -Y, +Z, -Z.
extern const FaceBasis kFaces[6];
constexpr uint32_t kLightConstantCount = 5;

// Pixel constants 0 to 4 of one light: the direction it points (w 0, normalised), its colour and
// secondary colour at a quarter (the secondary zero when single-sided), the side term and
// (wrap-around, specular multiplier, 0, 0). `linearLighting` converts the colours first.
void ComputeLightConstants(const LightRenderData& light, bool linearLighting, Vector constants[kLightConstantCount]);
// The mask's texture matrix (pixel constants 10 to 13): the mask rotation in degrees, then y flipped.
Matrix ComputeMaskMatrix(const Vector& rotationDegrees);
} // namespace AmbientCube
