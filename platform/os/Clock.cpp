#include "platform/os/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace os
{
namespace
{
std::atomic<bool> gManualCounterOn{false};
std::atomic<int64_t> gManualCounterValue{0};
} // namespace

int64_t QueryCounter()
{
    if (gManualCounterOn.load(std::memory_order_acquire))
        return gManualCounterValue.load(std::memory_order_acquire);
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, kCounterFrequency>>>(now).count();
}

int64_t QueryCounterFrequency()
{
    return kCounterFrequency;
}

void EnableManualCounter(int64_t value)
{
    gManualCounterValue.store(value, std::memory_order_release);
    gManualCounterOn.store(true, std::memory_order_release);
}

void SetManualCounter(int64_t value)
{
    gManualCounterValue.store(value, std::memory_order_release);
}

void AdvanceManualCounter(int64_t ticks)
{
    gManualCounterValue.fetch_add(ticks, std::memory_order_acq_rel);
}

void DisableManualCounter()
{
    gManualCounterOn.store(false, std::memory_order_release);
}

void Sleep(uint32_t milliseconds)
{
    if (milliseconds == 0)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
} // namespace os
