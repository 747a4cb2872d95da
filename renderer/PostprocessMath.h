// The arithmetic of the post-processing chain: shader variant options, which passes a frame runs,
// the blur kernel, the FXAA, RGB-shift and ambient-occlusion constants and the lookup-table
// sampling. Pure functions of their inputs, so the chain and its tests share one definition.
// Any thread.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>
#include <string>

namespace PostprocessMath
{
// 1/1080: constants given in pixels of a 1080-line screen scale with the render height.
constexpr float kPixelsPer1080 = 0.0009259259f;
// The RGB-shift curve loops over this many seconds in 64 samples.
constexpr float kRGBShiftLoopSeconds = 5.0f;
constexpr uint32_t kRGBShiftSamples = 64;
// Thresholds below which an effect counts as off.
constexpr float kEffectEpsilon = 0.0001f;
constexpr float kRGBShiftEpsilon = 0.01f;

// Composite variant bits (the project's post-process family).
constexpr uint32_t kCompositeEnabled = 1;
constexpr uint32_t kCompositeOutlines = 2;
constexpr uint32_t kCompositeLocalContrast = 4;
constexpr uint32_t kCompositeLowSpec = 8;
constexpr uint32_t kCompositeLumInAlpha = 16;
constexpr uint32_t kCompositeVariants = 32;
// Mobile composite variant bits ("iPhonePostprocess") and screen-curve bits ("iPhonePostprocess2").
constexpr uint32_t kMobileEnabled = 1;
constexpr uint32_t kMobileZoomBlur = 2;
constexpr uint32_t kMobileIPad2 = 4;
constexpr uint32_t kMobileRGBShift = 8;
constexpr uint32_t kMobileVariants = 16;
constexpr uint32_t kScreenCurveEnabled = 1;
constexpr uint32_t kScreenCurveOn = 2;
constexpr uint32_t kScreenCurveVariants = 4;

// Option text of variant `index` over the words of its bits: empty unless bit 0 ("ENABLED") is set,
// else every word whose bit is set, each followed by a blank.
std::string VariantOptions(uint32_t index, const char* const* words, uint32_t wordCount);

// What the desktop chain runs this frame.
struct ChainInputs
{
    bool enabled = false;     // flags bit 0
    bool fxaaAllowed = false; // flags bit 2
    bool outlineSwitch = false;
    uint32_t quality = 0;
    float localContrast = 1.0f;
    float zoomBlurStrength = 0.0f;
    float rgbShift = 0.0f; // the frame's shift amount
    bool sceneFxaa = false;
};
struct ChainDecision
{
    bool localContrast = false;
    bool zoom = false;
    bool rgb = false;
    bool fxaa = false;
    uint32_t compositeVariant = 0;
};
ChainDecision DecideChain(const ChainInputs& inputs);

// The mobile composite's variant: zoom blur, the iPad2 mode (platform mode 2) and a camera shift.
uint32_t MobileCompositeVariant(bool enabled, float zoomBlurStrength, uint32_t platformMode, float cameraEffect);

// The shift amount of the 64-entry curve at `gameSeconds`, plus the camera effect value. The step
// index is kept in 0..62 (a time rounding up to the loop's end, or a negative clock, would read
// outside the table).
float RGBShiftAmount(const float* curve64, double gameSeconds, float cameraEffect);

// Seven bilinear fetches that take a 13-tap Gaussian: the centre weight, then three weights and
// three offsets (texels) per side.
struct GaussianKernel
{
    float centre = 0.0f;
    float weights[3] = {};
    float offsets[3] = {};
};
GaussianKernel ComputeGaussianKernel(float sigma);

// The FXAA pass's vertex constant and seven pixel constants for a render size W x H and a region.
struct FxaaConstants
{
    Vector vertex;
    Vector pixel[7];
};
FxaaConstants ComputeFxaaConstants(float width, float height, float regionWidth, float regionHeight,
                                   const float factors[6]);

// The ambient-occlusion preparation: eight kernel offsets times the sample radius (pixels) and the
// strength term strength x 0.625 / r^4 of the unclamped radius r = H / 1080 x radius.
struct AmbientOcclusionConstants
{
    float radius = 0.0f; // clamped to [1, 20]
    float kernel[8][2] = {};
    float strengthTerm = 0.0f;
};
AmbientOcclusionConstants ComputeAmbientOcclusionConstants(float height, float radius, float strength);
// The fixed kernel: four offsets at length 0.5 and four at length 1, each set by quarter turns.
extern const float kAmbientOcclusionKernel[8][2];

// The source entry of texel i of an n-wide table: with the gamma remap the integer part of
// (n / 4) x (i / (n / 4))^0.45454544, else i.
uint32_t LookupSourceIndex(uint32_t i, uint32_t width, bool remapGamma);
} // namespace PostprocessMath
