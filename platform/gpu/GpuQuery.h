// An event query: issued at the end of a frame's commands, polled until the simulated GPU reports
// it done. The fault plan can keep it not ready for a number of polls. One thread at a time.
#pragma once

#include "platform/gpu/GpuObject.h"
#include "platform/gpu/GpuTypes.h"

namespace gpu
{
class GpuQuery : public GpuResource
{
public:
    GpuQuery(GpuDevice* device, uint32_t type);

    uint32_t GetType() const { return m_type; }
    // Event queries take only kIssueEnd.
    Result Issue(uint32_t flags);
    // kOk with a 32-bit true written to data (when size allows), kNotReady while the simulated GPU
    // is busy, device-lost on a lost device.
    Result GetData(void* data, uint32_t size, uint32_t flags);
    uint32_t GetPollCount() const { return m_polls; }

private:
    uint32_t m_type;
    uint32_t m_pendingPolls = 0;
    uint32_t m_polls = 0;
};
} // namespace gpu
