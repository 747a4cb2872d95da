#include "core/time/GameTimer.h"

void GameTimer::Reset()
{
    m_time = static_cast<uint64_t>(gZeroTime.GetTicks());
    m_lastStep = 0.0f;
    m_tickCount = 0;
    m_activeTickCount = 0;
    m_pauseCounter.store(0, std::memory_order_relaxed);
    m_runWhilePaused.store(0, std::memory_order_relaxed);
}

void GameTimer::ResetTime(uint64_t time)
{
    m_time = time;
    m_lastStep = 0.0f;
}

void GameTimer::Pause(bool pause)
{
    // One writer: a plain read-modify-write is enough, the atomic only makes readers elsewhere safe.
    const uint32_t count = m_pauseCounter.load(std::memory_order_relaxed);
    if (pause)
        m_pauseCounter.store(count + 1, std::memory_order_relaxed);
    else if (count > 0)
        m_pauseCounter.store(count - 1, std::memory_order_relaxed);
}

void GameTimer::Tick(float stepSeconds)
{
    ++m_tickCount;
    if (IsPaused())
    {
        m_lastStep = 0.0f;
        return;
    }
    const double ticks = static_cast<double>(stepSeconds) * static_cast<double>(Time::GetFrequency());
    m_time += static_cast<uint64_t>(static_cast<int64_t>(ticks));
    m_lastStep = stepSeconds;
    ++m_activeTickCount;
}
