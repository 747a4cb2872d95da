#include "platform/gpu/GpuBuffer.h"

#include "platform/gpu/GpuLog.h"

#include <algorithm>
#include <cstring>

namespace gpu
{
namespace
{
constexpr uint8_t kDiscardPattern = 0xCD;
}

GpuBuffer::GpuBuffer(ObjectKind kind, GpuDevice* device, uint32_t length, uint32_t usage, Pool pool)
    : GpuResource(kind, device, pool, pool == kPoolDefault), m_bytes(length, 0), m_usage(usage)
{
}

Result GpuBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags)
{
    if (!data)
        return kErrInvalidCall;
    *data = nullptr;
    const unsigned long long id = GetId();
    if (m_locked)
    {
        LogError("Lock: %s #%llu is already locked", ObjectKindName(GetKind()), id);
        return kErrInvalidCall;
    }
    if ((flags & (kLockDiscard | kLockNoOverwrite)) && !(m_usage & kUsageDynamic))
    {
        LogError("Lock: discard and no-overwrite need a dynamic buffer (%s #%llu)", ObjectKindName(GetKind()), id);
        return kErrInvalidCall;
    }
    if ((flags & kLockDiscard) && (flags & (kLockNoOverwrite | kLockReadOnly)))
    {
        LogError("Lock: discard cannot go with no-overwrite or read-only (%s #%llu)", ObjectKindName(GetKind()), id);
        return kErrInvalidCall;
    }
    const uint64_t length = size ? uint64_t(size) : uint64_t(GetSize()) - offset;
    if (offset > GetSize() || uint64_t(offset) + length > GetSize())
    {
        LogError("Lock: range %u+%u passes the end of %s #%llu (%u bytes)", offset, size, ObjectKindName(GetKind()),
                 id, GetSize());
        return kErrInvalidCall;
    }
    if (flags & kLockDiscard)
    {
        memset(m_bytes.data(), kDiscardPattern, m_bytes.size());
        ++m_discards;
        m_drawn.clear();
    }
    else if ((flags & kLockNoOverwrite) && length > 0)
    {
        const uint64_t end = offset + length;
        for (const auto& [begin, drawnEnd] : m_drawn)
            if (begin < end && offset < drawnEnd)
            {
                ++m_overwriteHazards;
                LogError("Lock: no-overwrite over bytes %u+%llu of %s #%llu, drawn since the last discard", offset,
                         (unsigned long long)length, ObjectKindName(GetKind()), id);
                break;
            }
    }
    uint8_t* base = m_bytes.data();
    if (flags & kLockReadOnly)
    {
        m_readOnlyCopy = m_bytes;
        base = m_readOnlyCopy.data();
    }
    *data = base + offset;
    m_locked = true;
    return kOk;
}

Result GpuBuffer::Unlock()
{
    if (!m_locked)
    {
        LogError("Unlock: %s #%llu is not locked", ObjectKindName(GetKind()), (unsigned long long)GetId());
        return kErrInvalidCall;
    }
    m_locked = false;
    m_readOnlyCopy.clear();
    m_readOnlyCopy.shrink_to_fit();
    return kOk;
}

void GpuBuffer::MarkDrawn(uint64_t offset, uint64_t length)
{
    if (length == 0)
        return;
    uint64_t begin = offset, end = offset + length;
    // Merge with every range it touches, so the list stays short for a ring written in order.
    auto first = std::lower_bound(m_drawn.begin(), m_drawn.end(), begin,
                                  [](const std::pair<uint64_t, uint64_t>& r, uint64_t at) { return r.second < at; });
    auto last = first;
    while (last != m_drawn.end() && last->first <= end)
    {
        begin = std::min(begin, last->first);
        end = std::max(end, last->second);
        ++last;
    }
    first = m_drawn.erase(first, last);
    m_drawn.insert(first, {begin, end});
}

GpuVertexBuffer::GpuVertexBuffer(GpuDevice* device, uint32_t length, uint32_t usage, uint32_t fvf, Pool pool)
    : GpuBuffer(ObjectKind::VertexBuffer, device, length, usage, pool), m_fvf(fvf)
{
}

void GpuVertexBuffer::GetDesc(VertexBufferDesc* desc) const
{
    *desc = {kFormatVertexData, kResourceVertexBuffer, GetUsage(), GetPool(), GetSize(), m_fvf};
}

GpuIndexBuffer::GpuIndexBuffer(GpuDevice* device, uint32_t length, uint32_t usage, Format format, Pool pool)
    : GpuBuffer(ObjectKind::IndexBuffer, device, length, usage, pool), m_format(format)
{
}

void GpuIndexBuffer::GetDesc(IndexBufferDesc* desc) const
{
    *desc = {m_format, kResourceIndexBuffer, GetUsage(), GetPool(), GetSize()};
}
} // namespace gpu
