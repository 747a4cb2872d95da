#include "platform/gpu/GpuObject.h"

#include "platform/gpu/GpuDevice.h"

namespace gpu
{
namespace
{
std::atomic<uint32_t> gLive[size_t(ObjectKind::Count)];
std::atomic<uint64_t> gNextId{1};
} // namespace

const char* ObjectKindName(ObjectKind kind)
{
    static const char* const kNames[] = {"factory", "device", "swap chain", "surface", "texture",
                                         "cube texture", "vertex buffer", "index buffer",
                                         "vertex declaration", "vertex shader", "pixel shader", "query",
                                         "blob", "constant table"};
    return size_t(kind) < size_t(ObjectKind::Count) ? kNames[size_t(kind)] : "?";
}

uint32_t LiveObjectCount(ObjectKind kind) { return gLive[size_t(kind)].load(std::memory_order_acquire); }

uint32_t LiveObjectTotal()
{
    uint32_t total = 0;
    for (const auto& live : gLive)
        total += live.load(std::memory_order_acquire);
    return total;
}

GpuObject::GpuObject(ObjectKind kind, bool counted) : m_id(gNextId.fetch_add(1)), m_kind(kind), m_counted(counted)
{
    if (m_counted)
        gLive[size_t(kind)].fetch_add(1, std::memory_order_acq_rel);
}

GpuObject::~GpuObject()
{
    if (m_counted)
        gLive[size_t(m_kind)].fetch_sub(1, std::memory_order_acq_rel);
}

uint32_t GpuObject::AddRef() { return m_refs.fetch_add(1, std::memory_order_acq_rel) + 1; }

uint32_t GpuObject::Release()
{
    const uint32_t left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

GpuResource::GpuResource(ObjectKind kind, GpuDevice* device, uint32_t pool, bool releaseBeforeReset, bool registered)
    : GpuObject(kind, registered), m_device(device), m_pool(pool), m_releaseBeforeReset(releaseBeforeReset),
      m_registered(registered)
{
    if (m_device && m_registered)
        m_device->Register(this);
}

GpuResource::~GpuResource()
{
    if (m_device && m_registered)
        m_device->Unregister(this);
}
} // namespace gpu
