// The presenter thread: presents the loading-screen frames that the render thread has drawn, then
// waits for the GPU in the render thread's place, so that loading frames keep coming while the
// render thread goes on with commands and jobs. The render thread hands it one present at a time and
// draws the next loading frame only once it is idle.
//
// Every wait ends: the GPU query poll after a present gives up after a time limit (logged).
//
// Threads: PresentAsync and TakeDeviceLost belong to the render thread (or to the game thread while
// the render thread is idle); IsIdle to any thread; the present itself runs on the presenter.
#pragma once

#include "core/threads/BaseThread.h"
#include "core/threads/SyncCounter.h"
#include "core/time/Time.h"

#include <atomic>
#include <cstdint>

namespace gpu
{
class GpuDevice;
class GpuQuery;
}

// The renderer's second thread, "PresenterThread".
class NorvexRendererPresenterThread : public BaseThread
{
public:
    static constexpr uint32_t kRingBytes = 1024;
    static constexpr uint32_t kPresentRecordId = 9;
    static constexpr uint32_t kDefaultQueryWaitLimitMs = 1000;

    NorvexRendererPresenterThread();
    ~NorvexRendererPresenterThread() override;

    // Queues a present through the device, spaced at least intervalSeconds after the previous one,
    // then a wait for the query (may be null). False (nothing queued) while the thread is not running.
    bool PresentAsync(float intervalSeconds, gpu::GpuDevice* device, gpu::GpuQuery* query);
    // Every present handed over has been done.
    bool IsIdle() const { return m_presents.IsAllCompleted(); }
    // True once per device loss seen by a present.
    bool TakeDeviceLost();

    // Longest wait for the query after a present, in milliseconds.
    void SetQueryWaitLimitMs(uint32_t milliseconds) { m_queryWaitLimitMs.store(milliseconds, std::memory_order_relaxed); }
    // Presents whose query wait ran out.
    uint32_t GetQueryTimeouts() const { return m_queryTimeouts.load(std::memory_order_acquire); }
    uint32_t GetPresentsCompleted() const { return m_presents.GetCompleted(); }
    // When the last present was done (its query wait included); read it after a Flush.
    Time GetLastPresentTime() const { return m_lastPresent; }

protected:
    void HandleCommand(const uint8_t* record) override;

private:
    void ExecutePresent(float intervalSeconds, gpu::GpuDevice* device, gpu::GpuQuery* query);
    void WaitForQuery(gpu::GpuQuery* query);

    SyncCounter m_presents;   // issued by the render thread, completed here
    SyncCounter m_deviceLost; // issued here, completed (taken) by the render thread
    std::atomic<uint32_t> m_queryWaitLimitMs{kDefaultQueryWaitLimitMs};
    std::atomic<uint32_t> m_queryTimeouts{0};
    Time m_lastPresent; // presenter thread
    bool m_presented = false; // presenter thread
};
