#include "core/time/Time.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"

#include <atomic>

namespace
{
// Constant-initialised to a usable clock, so readings taken before start-up are still sane.
std::atomic<int64_t> gStartCount{0};
std::atomic<int64_t> gFrequency{os::kCounterFrequency};
} // namespace

void Time::InitHardwareTimer()
{
    gFrequency.store(os::QueryCounterFrequency(), std::memory_order_relaxed);
    gStartCount.store(os::QueryCounter(), std::memory_order_relaxed);
}

int64_t Time::GetFrequency()
{
    return gFrequency.load(std::memory_order_relaxed);
}

void Time::LoadHardwareTime()
{
    m_ticks = os::QueryCounter() - gStartCount.load(std::memory_order_relaxed);
}

Time Time::Now()
{
    Time now;
    now.LoadHardwareTime();
    return now;
}

double Time::ToSeconds() const
{
    return static_cast<double>(m_ticks) / static_cast<double>(GetFrequency());
}

double Time::ToMilliseconds() const
{
    return static_cast<double>(m_ticks) / (static_cast<double>(GetFrequency()) * 0.001);
}

// Split into whole seconds and remainder: ticks * 1000000 alone overflows after about 10 days.
uint64_t Time::ToMicroseconds() const
{
    const uint64_t frequency = static_cast<uint64_t>(GetFrequency());
    const uint64_t ticks = static_cast<uint64_t>(m_ticks);
    return ticks / frequency * 1000000u + ticks % frequency * 1000000u / frequency;
}

void Time::Log(uint32_t kind, uint8_t channel, const char* label) const
{
    if (label != nullptr)
        gConsole.Printf(kind, channel, "%s %.6f", label, ToSeconds());
    else
        gConsole.Printf(kind, channel, "%.6f", ToSeconds());
}
