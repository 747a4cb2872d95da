#include "platform/gpu/GpuSurface.h"

#include "platform/gpu/GpuLog.h"

#include <cstring>

namespace gpu
{
namespace
{
// Contents of memory handed out by a discarding lock: not what was there before.
constexpr uint8_t kDiscardPattern = 0xCD;

bool IsAligned(const Rect& r) { return r.left % 4 == 0 && r.top % 4 == 0; }
} // namespace

bool IsRectInside(const Rect& r, uint32_t width, uint32_t height)
{
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && uint32_t(r.right) <= width &&
           uint32_t(r.bottom) <= height;
}

GpuSurface::GpuSurface(GpuDevice* device, GpuResource* container, const SurfaceDesc& desc, bool lockable)
    : GpuResource(ObjectKind::Surface, container ? nullptr : device, desc.pool,
                  !container && desc.pool == kPoolDefault, !container),
      m_desc(desc), m_info(FindFormat(desc.format)), m_container(container), m_lockable(lockable)
{
    m_desc.type = kResourceSurface;
    m_pitch = RowPitch(*m_info, desc.width);
    m_bits.assign(size_t(m_pitch) * RowCount(*m_info, desc.height), 0);
}

uint32_t GpuSurface::AddRef() { return m_container ? m_container->AddRef() : GpuResource::AddRef(); }

uint32_t GpuSurface::Release() { return m_container ? m_container->Release() : GpuResource::Release(); }

GpuDevice* GpuSurface::GetOwnerDevice() const { return m_container ? m_container->GetDevice() : GetDevice(); }

Result GpuSurface::LockRect(LockedRect* locked, const Rect* rect, uint32_t flags)
{
    if (!locked)
        return kErrInvalidCall;
    locked->bits = nullptr;
    locked->pitch = 0;
    if (m_locked)
    {
        LogError("LockRect: surface #%llu is already locked", (unsigned long long)GetId());
        return kErrInvalidCall;
    }
    if (!m_lockable)
    {
        LogError("LockRect: surface #%llu (%s) is not lockable", (unsigned long long)GetId(), m_info->name);
        return kErrInvalidCall;
    }
    const bool dynamic = (m_desc.usage & kUsageDynamic) != 0;
    if ((flags & (kLockDiscard | kLockNoOverwrite)) && !dynamic)
    {
        LogError("LockRect: discard and no-overwrite need a dynamic texture (surface #%llu)",
                 (unsigned long long)GetId());
        return kErrInvalidCall;
    }
    if ((flags & kLockReadOnly) && (flags & kLockDiscard))
        return kErrInvalidCall;
    Rect area = {0, 0, int32_t(m_desc.width), int32_t(m_desc.height)};
    if (rect)
    {
        if (!IsRectInside(*rect, m_desc.width, m_desc.height) ||
            (m_info->kind == FormatKind::Compressed && !IsAligned(*rect)))
        {
            LogError("LockRect: rectangle (%d,%d)-(%d,%d) does not fit surface #%llu", rect->left, rect->top,
                     rect->right, rect->bottom, (unsigned long long)GetId());
            return kErrInvalidCall;
        }
        area = *rect;
    }
    if (flags & kLockDiscard)
        memset(m_bits.data(), kDiscardPattern, m_bits.size());
    uint8_t* base = m_bits.data();
    if (flags & kLockReadOnly)
    {
        m_readOnlyCopy = m_bits;
        base = m_readOnlyCopy.data();
    }
    const uint32_t blockRow = m_info->kind == FormatKind::Compressed ? uint32_t(area.top) / 4 : uint32_t(area.top);
    const uint32_t blockCol = m_info->kind == FormatKind::Compressed ? uint32_t(area.left) / 4 : uint32_t(area.left);
    locked->bits = base + size_t(blockRow) * m_pitch + size_t(blockCol) * m_info->blockBytes;
    locked->pitch = int32_t(m_pitch);
    m_locked = true;
    return kOk;
}

Result GpuSurface::UnlockRect()
{
    if (!m_locked)
    {
        LogError("UnlockRect: surface #%llu is not locked", (unsigned long long)GetId());
        return kErrInvalidCall;
    }
    m_locked = false;
    m_readOnlyCopy.clear();
    m_readOnlyCopy.shrink_to_fit();
    return kOk;
}

Color4f GpuSurface::ReadPixel(uint32_t x, uint32_t y) const
{
    if (x >= m_desc.width || y >= m_desc.height)
        return {0, 0, 0, 0};
    if (m_info->kind == FormatKind::Compressed)
    {
        Color4f block[16];
        DecodeBlock(m_desc.format, m_bits.data() + size_t(y / 4) * m_pitch + size_t(x / 4) * m_info->blockBytes,
                    block);
        return block[(y % 4) * 4 + x % 4];
    }
    return DecodePixel(*m_info, m_bits.data() + size_t(y) * m_pitch + size_t(x) * m_info->blockBytes);
}

uint32_t GpuSurface::ReadPixelArgb(uint32_t x, uint32_t y) const { return PackArgb(ReadPixel(x, y)); }

void GpuSurface::WritePixel(uint32_t x, uint32_t y, const Color4f& color)
{
    if (x < m_desc.width && y < m_desc.height && m_info->kind != FormatKind::Compressed)
        EncodePixel(*m_info, color, m_bits.data() + size_t(y) * m_pitch + size_t(x) * m_info->blockBytes);
}

void GpuSurface::FillRect(const Rect& rect, const uint8_t* encodedPixel)
{
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    const uint32_t bpp = m_info->blockBytes;
    const size_t rowBytes = size_t(rect.right - rect.left) * bpp;
    uint8_t* first = m_bits.data() + size_t(rect.top) * m_pitch + size_t(rect.left) * bpp;
    for (size_t x = 0; x < rowBytes; x += bpp)
        memcpy(first + x, encodedPixel, bpp);
    for (int32_t y = rect.top + 1; y < rect.bottom; ++y)
        memcpy(m_bits.data() + size_t(y) * m_pitch + size_t(rect.left) * bpp, first, rowBytes);
}
} // namespace gpu
