// Plain records the software rasteriser passes between its steps: clip-space vertices with the
// values a vertex program hands on, and the pixel a pixel program shades. Plain data: any thread.
#pragma once

#include "platform/gpu/GpuTypes.h"

namespace gpu
{
// Values interpolated from the vertices to the pixels (perspective-correct): a colour and five
// sets of four texture coordinates.
constexpr uint32_t kVaryingCount = 24;
constexpr uint32_t kVaryColor = 0;
constexpr uint32_t kVaryTex0 = 4;
constexpr uint32_t kVaryTex1 = 8;
constexpr uint32_t kVaryTex2 = 12;
constexpr uint32_t kVaryTex3 = 16;
constexpr uint32_t kVaryTex4 = 20;

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

// A triangle as its pixels are shaded, worked out once by the rasteriser: edge functions step by
// whole pixels, barycentrics are edge values times invArea, and the vertices' varyings are divided
// by w (perspective-correct sums divide by the interpolated 1/w).
struct TriangleSetup
{
    int64_t edgeStep[3];   // change of each edge value one pixel to the right (subtracted)
    float invArea;
    float z[3], invW[3];   // per vertex: depth after the viewport's range, 1/w
    float depthBias;       // constant plus slope-scaled
    bool depthInRange;     // every vertex depth, biased, lies in [0, 1]
    float stepX[3], stepY[3]; // barycentric change one pixel right and one pixel down
    uint32_t varyingCount; // leading varyings the pixel program reads
    bool texCoordChange;   // whether it needs texture set 0's change per pixel
    bool frontFacing;
    float varyings[3][kVaryingCount];
};

// The covered pixels of one row of a triangle, left to right: x in [first, last], with the edge
// values at first.
struct Span
{
    int32_t y, first, last;
    int64_t edge[3];
};

// Texture set 0 at barycentrics a0, a1, a2.
[[gnu::always_inline]] inline void TexCoordAt(const TriangleSetup& t, float a0, float a1, float a2, float* uv)
{
    const float q = 1.0f / (a0 * t.invW[0] + a1 * t.invW[1] + a2 * t.invW[2]);
    for (uint32_t k = 0; k < 2; ++k)
        uv[k] = (a0 * t.varyings[0][kVaryTex0 + k] + a1 * t.varyings[1][kVaryTex0 + k] +
                 a2 * t.varyings[2][kVaryTex0 + k]) * q;
}

// The interpolated values of a covered pixel at barycentrics l0, l1, l2 (x, y and depth are the
// caller's). Inlined into the pixel loop, which keeps its own copy of the set-up.
[[gnu::always_inline]] inline void InterpolatePixel(const TriangleSetup& t, float l0, float l1, float l2,
                                                    PixelInput* pixel)
{
    const float q = 1.0f / (l0 * t.invW[0] + l1 * t.invW[1] + l2 * t.invW[2]);
    const float p0 = l0 * q, p1 = l1 * q, p2 = l2 * q;
    for (uint32_t k = 0; k < t.varyingCount; ++k)
        pixel->varyings[k] = p0 * t.varyings[0][k] + p1 * t.varyings[1][k] + p2 * t.varyings[2][k];
    if (!t.texCoordChange)
        return;
    // Texture set 0 one pixel to the right and one pixel down, for mip selection.
    float right[2], down[2];
    TexCoordAt(t, l0 + t.stepX[0], l1 + t.stepX[1], l2 + t.stepX[2], right);
    TexCoordAt(t, l0 + t.stepY[0], l1 + t.stepY[1], l2 + t.stepY[2], down);
    pixel->tex0Dx[0] = right[0] - pixel->varyings[kVaryTex0];
    pixel->tex0Dx[1] = right[1] - pixel->varyings[kVaryTex0 + 1];
    pixel->tex0Dy[0] = down[0] - pixel->varyings[kVaryTex0];
    pixel->tex0Dy[1] = down[1] - pixel->varyings[kVaryTex0 + 1];
}

// Receives the covered pixels of each primitive row by row, in order.
class PixelSink
{
public:
    virtual ~PixelSink() = default;
    virtual void ShadeSpan(const TriangleSetup& triangle, const Span& span) = 0;
};
} // namespace gpu
