// Plain records the software rasteriser passes between its steps: clip-space vertices with the
// values a vertex program hands on, and the pixel a pixel program shades. Plain data: any thread.
#pragma once

#include "platform/gpu/GpuTypes.h"

namespace gpu
{
// Values interpolated from the vertices to the pixels (perspective-correct): a colour and three
// sets of four texture coordinates.
constexpr uint32_t kVaryingCount = 16;
constexpr uint32_t kVaryColor = 0;
constexpr uint32_t kVaryTex0 = 4;
constexpr uint32_t kVaryTex1 = 8;
constexpr uint32_t kVaryTex2 = 12;

// A vertex after its program: clip-space position (x, y, z, w) and its varyings.
struct ClipVertex
{
    float position[4];
    float varyings[kVaryingCount];
};

// One covered pixel, its interpolated values and the depth it brings (0..1 after the viewport's
// depth range and bias).
struct PixelInput
{
    int32_t x, y;
    float depth;
    bool frontFacing;
    float varyings[kVaryingCount];
    // Change of texture set 0 (u, v) one pixel to the right and one pixel down, for mip selection.
    float tex0Dx[2], tex0Dy[2];
};

// Receives every pixel a primitive covers, in no promised order.
class PixelSink
{
public:
    virtual ~PixelSink() = default;
    virtual void Shade(const PixelInput& pixel) = 0;
};
} // namespace gpu
