#include "platform/gpu/GpuTexture.h"

#include "platform/gpu/GpuLog.h"

#include <algorithm>

namespace gpu
{
uint32_t GpuBaseTexture::FullChainLength(uint32_t width, uint32_t height)
{
    uint32_t levels = 1;
    for (uint32_t size = std::max(width, height); size > 1; size >>= 1)
        ++levels;
    return levels;
}

GpuBaseTexture::GpuBaseTexture(ObjectKind kind, GpuDevice* device, uint32_t width, uint32_t height,
                               uint32_t levels, uint32_t usage, Format format, Pool pool, uint32_t faces)
    : GpuResource(kind, device, pool, pool == kPoolDefault), m_width(width), m_height(height), m_levels(levels),
      m_faces(faces), m_usage(usage), m_format(format)
{
    const FormatInfo* info = FindFormat(format);
    // Default-pool textures lock only when dynamic; render and depth targets never do.
    const bool lockable = info->kind != FormatKind::Depth && !(usage & (kUsageRenderTarget | kUsageDepthStencil)) &&
                          (pool != kPoolDefault || (usage & kUsageDynamic));
    m_surfaces.reserve(size_t(faces) * levels);
    for (uint32_t face = 0; face < faces; ++face)
        for (uint32_t level = 0; level < levels; ++level)
        {
            SurfaceDesc desc = {format, kResourceSurface, usage, pool, kMultisampleNone, 0,
                                std::max(1u, width >> level), std::max(1u, height >> level)};
            m_surfaces.push_back(new GpuSurface(device, this, desc, lockable));
        }
}

GpuBaseTexture::~GpuBaseTexture()
{
    for (GpuSurface* surface : m_surfaces)
        delete surface;
}

GpuSurface* GpuBaseTexture::PeekSurface(uint32_t face, uint32_t level) const
{
    if (face >= m_faces || level >= m_levels)
        return nullptr;
    return m_surfaces[size_t(face) * m_levels + level];
}

Result GpuBaseTexture::GetSurface(uint32_t face, uint32_t level, GpuSurface** surface)
{
    if (!surface)
        return kErrInvalidCall;
    *surface = PeekSurface(face, level);
    if (!*surface)
    {
        LogError("texture #%llu has no face %u level %u", (unsigned long long)GetId(), face, level);
        return kErrInvalidCall;
    }
    (*surface)->AddRef();
    return kOk;
}

Result GpuBaseTexture::Lock(uint32_t face, uint32_t level, LockedRect* locked, const Rect* rect, uint32_t flags)
{
    GpuSurface* surface = PeekSurface(face, level);
    if (!surface)
    {
        LogError("LockRect: texture #%llu has no face %u level %u", (unsigned long long)GetId(), face, level);
        return kErrInvalidCall;
    }
    return surface->LockRect(locked, rect, flags);
}

Result GpuBaseTexture::Unlock(uint32_t face, uint32_t level)
{
    GpuSurface* surface = PeekSurface(face, level);
    return surface ? surface->UnlockRect() : kErrInvalidCall;
}

Result GpuBaseTexture::LevelDesc(uint32_t level, SurfaceDesc* desc) const
{
    const GpuSurface* surface = PeekSurface(0, level);
    if (!surface || !desc)
        return kErrInvalidCall;
    surface->GetDesc(desc);
    return kOk;
}

GpuTexture::GpuTexture(GpuDevice* device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                       Format format, Pool pool)
    : GpuBaseTexture(ObjectKind::Texture, device, width, height, levels, usage, format, pool, 1)
{
}

GpuCubeTexture::GpuCubeTexture(GpuDevice* device, uint32_t edge, uint32_t levels, uint32_t usage, Format format,
                               Pool pool)
    : GpuBaseTexture(ObjectKind::CubeTexture, device, edge, edge, levels, usage, format, pool, kCubeFaceCount)
{
}
} // namespace gpu
