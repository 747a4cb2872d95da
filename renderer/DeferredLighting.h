// The deferred lighting of the "Lighting" scene pass: a full-screen pass that lights the deferred
// pixels with the scene's two light directions (the sun through the scene's projected cloud
// texture when it has one), its ambient and the shadow map into the light
// accumulation target, then one additive volume per point, spot and tube light of the frame (the
// camera inside a volume draws its back faces). The values are stored at a quarter of their size so
// that light above white survives an 8-bit target; "Compose" scales them back.
//
// Render thread only; the option and volume arithmetic are pure functions (any thread).
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>
#include <vector>

class LightRenderData;
class NorvexRenderer;
class RendererLightWrapper;

namespace DeferredLighting
{
// Option bits of the full-screen pass (the column of its shader table).
constexpr uint32_t kOptionProjected = 0x1;
constexpr uint32_t kOptionShadowed = 0x2;
constexpr uint32_t kOptionFiltered = 0x4;
constexpr uint32_t kOptionLowQuality = 0x8;
// Option bits of a light volume (the column of its light type's row).
constexpr uint32_t kOptionMask = 0x1;
// A masked light below this quality draws without its mask at this share of its colour.
constexpr uint32_t kMaskQuality = 2;
constexpr float kUnmaskedShare = 0.3f;
// A spot of 90 degrees or more has no bounding cone (nor a mask projection): it is drawn this wide.
constexpr float kWidestDrawnSpotDegrees = 85.0f;
// The camera is inside a volume when nearer than its bounding radius plus this (world units), so
// that the near plane never cuts the faces the outside rule draws.
constexpr float kInsideMargin = 0.5f;

// Where the full-screen pass stands this frame.
struct FullScreenInputs
{
    bool shadowsAllowed = false;
    bool shadowSwitch = false;    // the renderer's shadow map switch
    bool shadowMapPresent = false;
    float shadowValue = 0.0f;     // the scene's shadow strength
    bool projectedTexture = false;
    uint32_t quality = 0;
    bool shadowFiltering = false;
};
uint32_t FullScreenOptions(const FullScreenInputs& inputs);

// One light volume's colours and options.
struct VolumeColors
{
    uint32_t options = 0;
    bool useMask = false;
    Vector color;    // f x colour, desaturated; uploaded at a quarter
    Vector specular; // colour x specular multiplier, luminance in w
};
VolumeColors ComputeVolumeColors(const LightRenderData& light, uint32_t quality, float desaturation);
float Luminance(const Vector& color);

// The light's volume: the model matrix of its unit mesh and the sphere that bounds it.
struct Volume
{
    Matrix model;
    Vector centre;
    float radius = 0.0f;
};
// Point: the unit sphere; spot: the unit cone along the light's z; tube: the unit cylinder along its x.
Volume ComputeVolume(const LightRenderData& light);
// The width a spot's cone and mask are drawn with: its own below 90 degrees, while its tangent is finite.
float DrawnSpotWidth(float widthDegrees);
// Radius of a spot's cone at its end: tan(drawn width) x length.
float SpotConeRadius(float widthDegrees, float length);
// Light space to the mask's texture space: a perspective of field of view 2 x drawn width.
Matrix SpotMaskProjection(float widthDegrees);
bool IsCameraInside(const Volume& volume, const Vector& camera);

// The "Lighting" step: the full-screen pass into the light accumulation target (the second one when
// asked), then the volumes of `lights`. Nothing on the mobile platform modes.
void RenderLights(NorvexRenderer& renderer, const std::vector<RendererLightWrapper*>& lights, bool shadowsAllowed,
                  bool secondTarget);

// The ambient-occlusion step between "Lighting" and "Compose" (it reads the depth, the normals and
// the light): at the quality level that has the occlusion targets, with a scene occlusion intensity
// above 0, off the mobile modes. True when it left the occluded light in the second accumulation
// target, which "Compose" then reads in place of the first.
constexpr uint32_t kOcclusionQuality = 3;
bool RenderAmbientOcclusion(NorvexRenderer& renderer);
} // namespace DeferredLighting
