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

// Unbound samplers read (0, 0, 0, 1). dx and dy are the (u, v) change per pixel.
Color4f Sample2D(const SamplerView& sampler, float u, float v, const float dx[2], const float dy[2]);
// Level 0 of the face the direction points at (faces +x, -x, +y, -y, +z, -z).
Color4f SampleCube(const SamplerView& sampler, float x, float y, float z);
// The sRGB curve both ways on 0..1 values.
float SrgbToLinear(float value);
float LinearToSrgb(float value);
} // namespace gpu
