// The real-time frame clock (script global gEngineTimer): the time base of the global script
// scheduler. Main thread.
//
// Only the clock itself exists so far; the time multiplier and its transitions come with the frame.
#pragma once

#include <cstdint>

// Real time since the last reset, in 10 MHz ticks, sampled once per frame.
class EngineTimer
{
public:
    void Reset();
    // Samples the hardware counter.
    void Update();
    int64_t GetTicks() const { return m_ticks; }
    double GetSeconds() const;
    // Seconds between the last two samples.
    float GetLastStepSeconds() const { return m_lastStepSeconds; }

private:
    int64_t m_startTicks = 0;
    int64_t m_ticks = 0;
    float m_lastStepSeconds = 0.0f;
};

extern EngineTimer gEngineTimer;
