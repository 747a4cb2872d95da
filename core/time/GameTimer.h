// Pausable game-time accumulator advanced once per tick by a step in seconds. Owned and used by
// one thread (the main thread for the game clocks).
#pragma once

#include "core/time/Time.h"

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

    void SetRunWhilePaused(bool run) { m_runWhilePaused = run ? 1 : 0; }
    bool IsPaused() const { return m_pauseCounter != 0 && m_runWhilePaused == 0; }
    uint64_t GetTime() const { return m_time; }
    Time GetTimeValue() const { return Time(static_cast<int64_t>(m_time)); }
    float GetLastStep() const { return m_lastStep; }
    uint32_t GetTickCount() const { return m_tickCount; }
    uint32_t GetActiveTickCount() const { return m_activeTickCount; }
    uint32_t GetPauseCounter() const { return m_pauseCounter; }

private:
    uint64_t m_time = 0; // Time ticks
    float m_lastStep = 0.0f; // seconds
    uint32_t m_tickCount = 0;
    uint32_t m_activeTickCount = 0;
    uint8_t m_runWhilePaused = 0;
    uint32_t m_pauseCounter = 0;
};
