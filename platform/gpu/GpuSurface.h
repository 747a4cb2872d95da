// A surface with real pixel memory: a render target, a depth-stencil surface, a back buffer or one
// level (and face) of a texture. Lock and read-back work on that memory. One thread at a time, as
// for the device that made it.
#pragma once

#include "platform/gpu/GpuFormat.h"
#include "platform/gpu/GpuObject.h"

#include <vector>

namespace gpu
{
class GpuSurface : public GpuResource
{
public:
    // A stand-alone surface (render target, depth-stencil or back buffer part of a swap chain when
    // container is set).
    GpuSurface(GpuDevice* device, GpuResource* container, const SurfaceDesc& desc, bool lockable);

    // Levels and back buffers share the reference count of their container.
    uint32_t AddRef() override;
    uint32_t Release() override;

    void GetDesc(SurfaceDesc* desc) const { *desc = m_desc; }
    const SurfaceDesc& Desc() const { return m_desc; }
    const FormatInfo& Info() const { return *m_info; }
    // The device of the surface or of its container (null once that device is gone).
    GpuDevice* GetOwnerDevice() const;
    GpuResource* GetContainer() const { return m_container; }

    // Rect null locks the whole surface; compressed rectangles must lie on 4x4 blocks.
    Result LockRect(LockedRect* locked, const Rect* rect, uint32_t flags);
    Result UnlockRect();
    bool IsLocked() const { return m_locked; }
    bool IsLockable() const { return m_lockable; }

    // Read-back of any format: colour as floats (depth in r, stencil in g) or packed 8-bit ARGB.
    Color4f ReadPixel(uint32_t x, uint32_t y) const;
    uint32_t ReadPixelArgb(uint32_t x, uint32_t y) const;

    // Raw pixel memory for the device and the surface loader.
    uint8_t* Bits() { return m_bits.data(); }
    const uint8_t* Bits() const { return m_bits.data(); }
    uint32_t Pitch() const { return m_pitch; }
    // Writes one pixel of an uncompressed or depth format.
    void WritePixel(uint32_t x, uint32_t y, const Color4f& color);
    // Whole-rectangle fill with an already encoded pixel.
    void FillRect(const Rect& rect, const uint8_t* encodedPixel);

private:
    friend class GpuBaseTexture;
    friend class GpuSwapChain;
    ~GpuSurface() override = default;

    SurfaceDesc m_desc;
    const FormatInfo* m_info;
    GpuResource* m_container;
    std::vector<uint8_t> m_bits;
    std::vector<uint8_t> m_readOnlyCopy; // handed out by read-only locks so writes are lost
    uint32_t m_pitch;
    bool m_lockable;
    bool m_locked = false;
};

bool IsRectInside(const Rect& rect, uint32_t width, uint32_t height);
} // namespace gpu
