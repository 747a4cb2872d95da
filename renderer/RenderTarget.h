// A render target record: the surface to render into and, for a texture target, the texture holder
// it belongs to (none for a plain depth-stencil surface). Render thread only.
#pragma once

#include "platform/gpu/GpuTypes.h"

#include <cstdint>

class TextureHolder;

namespace gpu
{
class GpuDevice;
class GpuSurface;
}

// {surface, texture holder or none}.
class RenderTarget
{
public:
    RenderTarget() = default;
    RenderTarget(gpu::GpuSurface* surface, TextureHolder* holder) : m_surface(surface), m_holder(holder) {}

    // With depth: a depth-stencil surface (no multisampling, discard on). Otherwise a one-level
    // texture of the usage (gpu::kUsageRenderTarget or gpu::kUsageDepthStencil) in the default
    // pool, whose level-0 surface is the target. False (nothing kept) on failure.
    bool Create(gpu::GpuDevice* device, uint32_t width, uint32_t height, gpu::Format format, uint32_t usage,
                bool depth);
    // Releases the surface and drops the holder reference.
    void Release();

    gpu::GpuSurface* GetSurface() const { return m_surface; }
    TextureHolder* GetHolder() const { return m_holder; }

private:
    gpu::GpuSurface* m_surface = nullptr;
    TextureHolder* m_holder = nullptr;
};
