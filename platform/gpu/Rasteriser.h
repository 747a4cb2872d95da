// The software rasteriser's geometry steps: clipping in clip space, the viewport transform, culling
// by winding and coverage by the top-left rule with 8 bits of sub-pixel precision. Pixel centres
// lie on whole window coordinates, as on the platform this stands in for (a full-target quad at
// -1..1 covers pixel x at window x exactly, which is why callers offset by half a texel). Pure
// functions over their arguments: any thread.
#pragma once

#include "platform/gpu/RasterTypes.h"

namespace gpu
{
struct RasterSetup
{
    Viewport viewport;
    Rect clip;         // pixels that may be touched: viewport, target and scissor rectangle cut together
    uint32_t cullMode; // kCullNone, kCullClockwise or kCullCounterClockwise (winding on screen)
    float depthBias;   // added to every depth
    float slopeScaleDepthBias; // times the triangle's largest depth slope per pixel
    uint32_t varyingCount = kVaryingCount; // leading varyings the pixel program reads
    bool texCoordChange = true;            // whether it needs texture set 0's change per pixel
};

// Clips against the near plane (z >= 0) and a guard band, culls by winding (clockwise on screen
// is front-facing) and shades every covered pixel. Pixels whose depth passes 0..1 are dropped.
void RasterTriangle(const RasterSetup& setup, const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                    PixelSink& sink);
// A line one pixel wide from a to b, never culled; the end pixel is left out.
void RasterLine(const RasterSetup& setup, const ClipVertex& a, const ClipVertex& b, PixelSink& sink);
// A square of `size` pixels centred on the vertex, never culled.
void RasterPoint(const RasterSetup& setup, const ClipVertex& a, float size, PixelSink& sink);
} // namespace gpu
