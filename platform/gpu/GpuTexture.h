// Textures and cube textures: a chain of levels (six faces each for a cube), every level a surface
// with its own pixel memory. One thread at a time, as for the device that made them.
#pragma once

#include "platform/gpu/GpuSurface.h"

namespace gpu
{
// What textures and cube textures share: levels, faces, usage, format.
class GpuBaseTexture : public GpuResource
{
public:
    uint32_t GetLevelCount() const { return m_levels; }
    uint32_t GetFaceCount() const { return m_faces; }
    uint32_t GetUsage() const { return m_usage; }
    Format GetFormat() const { return m_format; }
    // Level 0 size; a cube's edge is both.
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }
    // The surface of a face and level without adding a reference (null when out of range).
    GpuSurface* PeekSurface(uint32_t face, uint32_t level) const;
    // Number of levels a full chain of this size has.
    static uint32_t FullChainLength(uint32_t width, uint32_t height);

protected:
    GpuBaseTexture(ObjectKind kind, GpuDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                   uint32_t usage, Format format, Pool pool, uint32_t faces);
    ~GpuBaseTexture() override;

    Result GetSurface(uint32_t face, uint32_t level, GpuSurface** surface);
    Result Lock(uint32_t face, uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags);
    Result Unlock(uint32_t face, uint32_t level);
    Result LevelDesc(uint32_t level, SurfaceDesc* desc) const;

private:
    std::vector<GpuSurface*> m_surfaces; // face-major: face * levels + level
    uint32_t m_width, m_height, m_levels, m_faces, m_usage;
    Format m_format;
};

// A 2D texture with mip levels.
class GpuTexture : public GpuBaseTexture
{
public:
    GpuTexture(GpuDevice* device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
               Pool pool);

    Result GetSurfaceLevel(uint32_t level, GpuSurface** surface) { return GetSurface(0, level, surface); }
    Result LockRect(uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags)
    {
        return Lock(0, level, locked, rect, flags);
    }
    Result UnlockRect(uint32_t level) { return Unlock(0, level); }
    Result GetLevelDesc(uint32_t level, SurfaceDesc* desc) const { return LevelDesc(level, desc); }
};

// A cube texture: six square faces per level, in the platform's face order (+x, -x, +y, -y, +z, -z).
class GpuCubeTexture : public GpuBaseTexture
{
public:
    GpuCubeTexture(GpuDevice* device, uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool);

    Result GetCubeMapSurface(uint32_t face, uint32_t level, GpuSurface** surface)
    {
        return GetSurface(face, level, surface);
    }
    Result LockRect(uint32_t face, uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags)
    {
        return Lock(face, level, locked, rect, flags);
    }
    Result UnlockRect(uint32_t face, uint32_t level) { return Unlock(face, level); }
    Result GetLevelDesc(uint32_t level, SurfaceDesc* desc) const { return LevelDesc(level, desc); }
};
} // namespace gpu
