#include "engine/EngineTimer.h"

#include "platform/os/Clock.h"

EngineTimer gEngineTimer;

void EngineTimer::Reset()
{
    m_lastSample = os::QueryCounter();
    m_ticks = 0;
    m_lastStepSeconds = 0.0f;
    m_stepCount = 0;
}

void EngineTimer::Advance(bool idle)
{
    const int64_t now = os::QueryCounter();
    const int64_t elapsed = now - m_lastSample;
    m_lastSample = now;
    if (idle)
    {
        m_lastStepSeconds = 0.0f;
        return;
    }
    m_lastStepSeconds = float(double(elapsed) / double(os::kCounterFrequency));
    m_ticks += elapsed;
    ++m_stepCount;
}

double EngineTimer::GetSeconds() const
{
    return double(m_ticks) / double(os::kCounterFrequency);
}
