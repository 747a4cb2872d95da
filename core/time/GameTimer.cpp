#include "core/time/GameTimer.h"

void GameTimer::Reset()
{
    m_time = static_cast<uint64_t>(gZeroTime.GetTicks());
    m_lastStep = 0.0f;
    m_tickCount = 0;
    m_activeTickCount = 0;
    m_pauseCounter = 0;
    m_runWhilePaused = 0;
}

void GameTimer::ResetTime(uint64_t time)
{
    m_time = time;
    m_lastStep = 0.0f;
}

void GameTimer::Pause(bool pause)
{
    if (pause)
        ++m_pauseCounter;
    else if (m_pauseCounter > 0)
        --m_pauseCounter;
}

void GameTimer::Tick(float stepSeconds)
{
    ++m_tickCount;
    if (m_pauseCounter != 0 && m_runWhilePaused == 0)
    {
        m_lastStep = 0.0f;
        return;
    }
    const double ticks = static_cast<double>(stepSeconds) * static_cast<double>(Time::GetFrequency());
    m_time += static_cast<uint64_t>(static_cast<int64_t>(ticks));
    m_lastStep = stepSeconds;
    ++m_activeTickCount;
}
