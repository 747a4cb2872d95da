// The engine clock: a microsecond clock that follows the fixed logic ticks, so that both peers of
// a multiplayer game step time identically, and snaps back to real time (logging the correction)
// when it drifts by more than one tick. Main thread only.
#pragma once

#include <cstdint>

// Microseconds: current time (what readers take in a frame), real time, scheduled time.
class EngineClock
{
public:
    static constexpr uint64_t kTickMicroseconds = 66666; // 1/15 s, truncated
    static constexpr uint64_t kStartOffset = 200000;     // 0.2 s

    // ticks: logic ticks due this frame, or a negative count to follow real time (no fixed ticks).
    void Update(int32_t ticks, float multiplier);
    // Back to the start state (both times at the offset).
    void Reset();

    // Real time plus the offset, whatever the ticks did.
    static uint64_t GetCurrentTime();
    uint64_t GetFrameTime() const { return m_currentTime; }
    uint64_t GetRealTime() const { return m_realTime; }
    uint64_t GetScheduledTime() const { return m_scheduledTime; }

private:
    uint64_t m_currentTime = kStartOffset;
    uint64_t m_realTime = 0;
    uint64_t m_scheduledTime = kStartOffset;
};

extern EngineClock gEngineClock;
