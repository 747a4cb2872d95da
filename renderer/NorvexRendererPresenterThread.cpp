#include "renderer/NorvexRendererPresenterThread.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuQuery.h"
#include "platform/os/Clock.h"

#include <cstring>

namespace
{
// 64-bit: the device and query pointers are full width.
constexpr uint32_t kPresentPayloadBytes = sizeof(float) + 2 * sizeof(uintptr_t);
} // namespace

NorvexRendererPresenterThread::NorvexRendererPresenterThread()
    : BaseThread("PresenterThread", kRingBytes, false, os::kInfinite, 0)
{
}

NorvexRendererPresenterThread::~NorvexRendererPresenterThread()
{
    Stop();
}

bool NorvexRendererPresenterThread::PresentAsync(float intervalSeconds, gpu::GpuDevice* device, gpu::GpuQuery* query)
{
    if (!IsRunning() || !BeginCommand(kPresentRecordId, kPresentPayloadBytes))
        return false;
    m_presents.IncrementIssued();
    const uintptr_t devicePointer = reinterpret_cast<uintptr_t>(device);
    const uintptr_t queryPointer = reinterpret_cast<uintptr_t>(query);
    CommandRingBuffer& ring = GetRing();
    ring.Write(&intervalSeconds, sizeof(intervalSeconds));
    ring.Write(&devicePointer, sizeof(devicePointer));
    ring.Write(&queryPointer, sizeof(queryPointer));
    EndCommand();
    return true;
}

bool NorvexRendererPresenterThread::TakeDeviceLost()
{
    if (m_deviceLost.IsAllCompleted())
        return false;
    m_deviceLost.IncrementCompleted();
    return true;
}

void NorvexRendererPresenterThread::HandleCommand(const uint8_t* record)
{
    uint32_t id = 0;
    std::memcpy(&id, record, sizeof(id));
    if (id != kPresentRecordId)
        return;
    float interval = 0.0f;
    uintptr_t devicePointer = 0;
    uintptr_t queryPointer = 0;
    CommandRingBuffer& ring = GetRing();
    ring.Read(&interval, sizeof(interval));
    ring.Read(&devicePointer, sizeof(devicePointer));
    ring.Read(&queryPointer, sizeof(queryPointer));
    ExecutePresent(interval, reinterpret_cast<gpu::GpuDevice*>(devicePointer),
                   reinterpret_cast<gpu::GpuQuery*>(queryPointer));
}

void NorvexRendererPresenterThread::ExecutePresent(float intervalSeconds, gpu::GpuDevice* device, gpu::GpuQuery* query)
{
    if (m_presented)
    {
        const double left = double(intervalSeconds) - (Time::Now() - m_lastPresent).ToSeconds();
        const uint32_t sleepMs = left > 0.0 ? uint32_t(left * 1000.0) : 0;
        if (sleepMs > 0)
            os::Sleep(sleepMs);
    }
    // One notice stands for the loss until the render thread takes it.
    if (device != nullptr && device->Present() == gpu::kErrDeviceLost && m_deviceLost.IsAllCompleted())
        m_deviceLost.IncrementIssued();
    if (query != nullptr)
        WaitForQuery(query);
    m_presents.IncrementCompleted();
    m_lastPresent = Time::Now();
    m_presented = true;
}

void NorvexRendererPresenterThread::WaitForQuery(gpu::GpuQuery* query)
{
    query->Issue(gpu::kIssueEnd);
    const uint32_t limitMs = m_queryWaitLimitMs.load(std::memory_order_relaxed);
    const Time start = Time::Now();
    while (query->GetData(nullptr, 0, gpu::kGetDataFlush) == gpu::kNotReady)
    {
        const double waitedMs = (Time::Now() - start).ToMilliseconds();
        if (waitedMs >= double(limitMs))
        {
            m_queryTimeouts.fetch_add(1, std::memory_order_acq_rel);
            gConsole.Warning(CONSOLE_CHANNEL_RENDER,
                             "PresenterThread: the GPU has not finished the frame after %u ms; the present is counted done",
                             limitMs);
            return;
        }
        os::Sleep(1);
    }
}
