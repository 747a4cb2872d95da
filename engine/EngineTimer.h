// The real-time frame clock (script global gEngineTimer): the time base of the time multiplier and
// of the global script scheduler. Main thread.
#pragma once

#include <cstdint>

// Real time since the last reset, in 10 MHz ticks, advanced once per frame.
class EngineTimer
{
public:
    // Samples now; the time and the step start at 0.
    void Reset();
    // Takes a new sample. Idle frames (and the frame after a scene load) step 0 and leave the time
    // as it is, so that the time spent does not count; others add the elapsed ticks.
    void Advance(bool idle);
    int64_t GetTicks() const { return m_ticks; }
    double GetSeconds() const;
    // Seconds between the last two samples (0 for an idle one).
    float GetLastStepSeconds() const { return m_lastStepSeconds; }
    uint32_t GetStepCount() const { return m_stepCount; }

private:
    int64_t m_lastSample = 0;
    int64_t m_ticks = 0;
    float m_lastStepSeconds = 0.0f;
    uint32_t m_stepCount = 0;
};

extern EngineTimer gEngineTimer;
