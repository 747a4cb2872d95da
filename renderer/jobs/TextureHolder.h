// A reference-counted device texture shared by texture resources, render targets and renderer jobs.
// Counted on any thread by jobs only: the count changes on the render thread (add-ref and deletion
// jobs), so the texture is released only there.
#pragma once

#include "platform/gpu/GpuTexture.h"

#include <atomic>
#include <cstdint>

// {device texture or none, reference count}; made with one reference.
class TextureHolder
{
public:
    TextureHolder() = default;
    TextureHolder(const TextureHolder&) = delete;
    TextureHolder& operator=(const TextureHolder&) = delete;

    // Render thread: releases any old texture, then creates a 2D or cube texture; false on failure.
    bool Create(gpu::GpuDevice* device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                gpu::Format format, gpu::Pool pool);
    bool CreateCube(gpu::GpuDevice* device, uint32_t edge, uint32_t levels, uint32_t usage, gpu::Format format,
                    gpu::Pool pool);
    // Render thread: releases the texture and keeps the holder.
    void Release();

    gpu::GpuBaseTexture* GetTexture() const { return m_texture.load(std::memory_order_acquire); }
    void SetTexture(gpu::GpuBaseTexture* texture) { m_texture.store(texture, std::memory_order_release); }
    uint32_t GetReferenceCount() const { return m_references.load(std::memory_order_acquire); }
    void AddReference() { m_references.fetch_add(1, std::memory_order_acq_rel); }
    // Returns the count left.
    uint32_t DropReference() { return m_references.fetch_sub(1, std::memory_order_acq_rel) - 1; }

private:
    std::atomic<gpu::GpuBaseTexture*> m_texture{nullptr};
    std::atomic<uint32_t> m_references{1};
};
