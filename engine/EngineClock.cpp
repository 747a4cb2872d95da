#include "engine/EngineClock.h"

#include "core/console/GameConsole.h"
#include "core/time/Time.h"

#include <cmath>

EngineClock gEngineClock;

namespace
{
uint64_t RealMicroseconds()
{
    const Time now = Time::Now();
    return now.GetTicks() > 0 ? now.ToMicroseconds() : 0;
}

// The multiplier divides the tick. One that is NaN, infinite or not above 0, or so small that the
// step leaves the clock's range, has no step to give: those ticks run at the plain rate instead of
// turning NaN or infinity into an integer.
uint64_t TickStep(int32_t ticks, float multiplier)
{
    const double plain = double(EngineClock::kTickMicroseconds) * double(ticks);
    if (!std::isfinite(multiplier) || multiplier <= 0.0f)
        return uint64_t(plain);
    const double step = plain / double(multiplier);
    return step < 0x1p63 ? uint64_t(step) : uint64_t(plain);
}
} // namespace

void EngineClock::Update(int32_t ticks, float multiplier)
{
    m_realTime = RealMicroseconds();
    const uint64_t realWithOffset = m_realTime + kStartOffset;
    if (ticks < 0)
    {
        m_currentTime = realWithOffset;
        return;
    }
    if (ticks > 0)
        m_scheduledTime += TickStep(ticks, multiplier);
    const int64_t difference = int64_t(realWithOffset - m_scheduledTime);
    if (difference >= 0 && difference <= int64_t(kTickMicroseconds))
    {
        m_currentTime = m_scheduledTime;
        return;
    }
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_MULTIPLAYER, "Multiplayer timer correction, difference: %lld (%lld)",
                    static_cast<long long>(difference), static_cast<long long>(kTickMicroseconds));
    m_scheduledTime = realWithOffset;
    m_currentTime = realWithOffset;
}

void EngineClock::Reset()
{
    m_currentTime = kStartOffset;
    m_realTime = 0;
    m_scheduledTime = kStartOffset;
}

uint64_t EngineClock::GetCurrentTime()
{
    return RealMicroseconds() + kStartOffset;
}
