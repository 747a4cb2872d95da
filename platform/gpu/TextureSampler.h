// Texture sampling for the software rasteriser: point and linear filtering, wrap, mirror, clamp and
// border addressing, mip selection from the pixel's texture-coordinate change, and cube faces
// picked by the major axis; anisotropic minification takes up to the stage's max anisotropy taps
// along the footprint's longer axis. Reads the textures' own pixel memory. One thread at a time, as
// for the device.
#pragma once

#include "platform/gpu/GpuTexture.h"

namespace gpu
{
// A texture with the sampler states of its stage.
struct SamplerView
{
    const GpuBaseTexture* texture = nullptr;
    const uint32_t* states = nullptr; // kSamplerStateCount values
};

// One level's pixel memory as sampling reads it.
struct SampledLevel
{
    const GpuSurface* surface;
    const uint8_t* bits;
    size_t pitch;
    int32_t width, height;
    Format format;
};

// More than the largest texture's chain: the levels a prepared sampler keeps.
constexpr uint32_t kMaxSampledLevels = 16;

// A 2D sampler with everything a sample reads gathered once (per draw): the states, the texture's
// size and its levels' memory. Valid while the texture, its levels and the states stay as they are.
struct PreparedSampler : SamplerView
{
    bool usable = false; // a bound 2D texture
    bool srgb = false;
    bool needsLod = false; // the level of detail picks the filter, the level or the taps
    uint32_t maxTaps = 1;  // anisotropic minification: the stage's max anisotropy (1 to 16)
    uint32_t addressU = 0, addressV = 0, border = 0;
    uint32_t magFilter = 0, minFilter = 0, mipFilter = 0;
    uint32_t first = 0, last = 0; // levels: the largest one allowed, and the smallest
    float width = 0.0f, height = 0.0f, bias = 0.0f;
    SampledLevel levels[kMaxSampledLevels] = {};
};

void PrepareSampler(const SamplerView& view, PreparedSampler* out);

// Unbound samplers read (0, 0, 0, 1). dx and dy are the (u, v) change per pixel.
Color4f Sample2D(const PreparedSampler& sampler, float u, float v, const float dx[2], const float dy[2]);
// The same through a view prepared for this one sample.
Color4f Sample2D(const SamplerView& sampler, float u, float v, const float dx[2], const float dy[2]);
// Level 0 of the face the direction points at (faces +x, -x, +y, -y, +z, -z).
Color4f SampleCube(const SamplerView& sampler, float x, float y, float z);
// The sRGB curve both ways on 0..1 values.
float SrgbToLinear(float value);
float LinearToSrgb(float value);
} // namespace gpu
