#include "engine/EngineTimer.h"

#include "platform/os/Clock.h"

EngineTimer gEngineTimer;

void EngineTimer::Reset()
{
    m_startTicks = os::QueryCounter();
    m_ticks = 0;
    m_lastStepSeconds = 0.0f;
}

void EngineTimer::Update()
{
    const int64_t ticks = os::QueryCounter() - m_startTicks;
    m_lastStepSeconds = float(double(ticks - m_ticks) / double(os::kCounterFrequency));
    m_ticks = ticks;
}

double EngineTimer::GetSeconds() const
{
    return double(m_ticks) / double(os::kCounterFrequency);
}
