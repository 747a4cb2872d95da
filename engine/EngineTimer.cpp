#include "engine/EngineTimer.h"

#include "platform/os/Clock.h"

EngineTimer gEngineTimer;

void EngineTimer::Reset()
{
    m_startTicks = os::QueryCounter();
    m_ticks = 0;
}

void EngineTimer::Update()
{
    m_ticks = os::QueryCounter() - m_startTicks;
}

double EngineTimer::GetSeconds() const
{
    return double(m_ticks) / double(os::kCounterFrequency);
}
