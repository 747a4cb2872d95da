// Pausable game-time accumulator advanced once per tick by a step in seconds. Owned and changed by
// one thread (the main thread for the game clocks); the pause state may be read from any thread
// (the physics thread reads the gameplay clock's).
#pragma once

#include "core/time/Time.h"

#include <atomic>
#include <cstdint>

// Game time that stops while paused, unless told to run while paused.
class GameTimer
{
public:
    void Reset();
    // Sets the time (ticks) and clears the last step; the tick counts stay.
    void ResetTime(uint64_t time);
    // true stacks one more pause; false removes one, never going below zero.
    void Pause(bool pause);
    void Tick(float stepSeconds);

    void SetRunWhilePaused(bool run) { m_runWhilePaused.store(run ? 1 : 0, std::memory_order_relaxed); }
    bool IsPaused() const
    {
        return m_pauseCounter.load(std::memory_order_relaxed) != 0 &&
               m_runWhilePaused.load(std::memory_order_relaxed) == 0;
    }
    uint64_t GetTime() const { return m_time; }
    Time GetTimeValue() const { return Time(static_cast<int64_t>(m_time)); }
    float GetLastStep() const { return m_lastStep; }
    uint32_t GetTickCount() const { return m_tickCount; }
    uint32_t GetActiveTickCount() const { return m_activeTickCount; }
    uint32_t GetPauseCounter() const { return m_pauseCounter.load(std::memory_order_relaxed); }

private:
    uint64_t m_time = 0; // Time ticks
    float m_lastStep = 0.0f; // seconds
    uint32_t m_tickCount = 0;
    uint32_t m_activeTickCount = 0;
    std::atomic<uint8_t> m_runWhilePaused{0};
    std::atomic<uint32_t> m_pauseCounter{0};
};
