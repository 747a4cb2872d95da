#include "engine/EngineClock.h"

#include "core/console/GameConsole.h"
#include "core/time/Time.h"

#include <algorithm>
#include <cmath>

EngineClock gEngineClock;

namespace
{
uint64_t RealMicroseconds()
{
    const Time now = Time::Now();
    return now.GetTicks() > 0 ? now.ToMicroseconds() : 0;
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
    // A multiplier of 0 (or NaN) would divide by zero and turn NaN or infinity into an integer:
    // no tick adds nothing, and the multiplier is held within finite bounds.
    if (ticks > 0)
    {
        const float bounded = std::isnan(multiplier) ? 1.0f : std::clamp(multiplier, kMinMultiplier, kMaxMultiplier);
        m_scheduledTime += uint64_t(double(kTickMicroseconds) * double(ticks) / double(bounded));
    }
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
