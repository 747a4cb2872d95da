// Reads of a running renderer's device for pixel probes and draw-log checks, each run on the
// render thread in stream order (a synchronous submit). Test thread only.
#pragma once

#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuSurface.h"
#include "renderer/NorvexRenderer.h"
#include "support/RenderThreadCall.h"
#include "support/WorldPointPixel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The back buffer's pixel at a spot, as stored.
inline uint32_t ProbeBackBuffer(NorvexRenderer& renderer, PixelSpot spot)
{
    uint32_t pixel = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        gpu::GpuSurface* back = nullptr;
        r.GetDevice()->GetBackBuffer(0, 0, &back);
        pixel = back->ReadPixelArgb(spot.x, spot.y);
        back->Release();
    });
    return pixel;
}

// The bound render target 0's pixel at (x, y), alpha forced to opaque.
inline uint32_t ProbeRenderTarget(NorvexRenderer& renderer, uint32_t x, uint32_t y)
{
    uint32_t pixel = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        gpu::GpuSurface* target = nullptr;
        r.GetDevice()->GetRenderTarget(0, &target);
        pixel = target->ReadPixelArgb(x, y) | 0xFF000000u;
        target->Release();
    });
    return pixel;
}

// How many draws the device has logged so far.
inline size_t DrawLogSize(NorvexRenderer& renderer)
{
    size_t count = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) { count = r.GetDevice()->GetDrawLog().size(); });
    return count;
}

// The draws logged after the first `before`.
inline std::vector<gpu::DrawRecord> DrawsSince(NorvexRenderer& renderer, size_t before)
{
    std::vector<gpu::DrawRecord> draws;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        const auto& log = r.GetDevice()->GetDrawLog();
        draws.assign(log.begin() + long(before), log.end());
    });
    return draws;
}
