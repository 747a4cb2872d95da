#include "platform/gpu/GpuQuery.h"

#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuEnvironment.h"
#include "platform/gpu/GpuLog.h"

#include <cstring>

namespace gpu
{
GpuQuery::GpuQuery(GpuDevice* device, uint32_t type)
    : GpuResource(ObjectKind::Query, device, kPoolDefault, true), m_type(type)
{
}

Result GpuQuery::Issue(uint32_t flags)
{
    if (flags != kIssueEnd)
    {
        LogError("Issue: event query #%llu takes only the end flag, not 0x%X", (unsigned long long)GetId(), flags);
        return kErrInvalidCall;
    }
    m_pendingPolls = Faults().GetQueryDelay();
    return kOk;
}

Result GpuQuery::GetData(void* data, uint32_t size, uint32_t /*flags*/)
{
    ++m_polls;
    if (!GetDevice() || GetDevice()->IsLost())
        return kErrDeviceLost;
    if (m_pendingPolls > 0)
    {
        --m_pendingPolls;
        return kNotReady;
    }
    if (data && size >= 4)
    {
        const uint32_t done = 1;
        memcpy(data, &done, 4);
    }
    return kOk;
}
} // namespace gpu
