// One of the game's frame clocks as the render stream carries it. Owned and ticked by the game thread.
#pragma once

#include <cstdint>

class GameTimer;

// Counter values are 10 MHz high-resolution ticks.
struct FrameClock
{
    uint64_t lastCounter = 0;
    uint64_t accumulatedCounter = 0;
    float lastStepSeconds = 0.0f;
    uint32_t stepCount = 0;

    // A game timer as the render stream carries it: both counters hold the timer's time.
    static FrameClock Of(const GameTimer& timer);

    // Both counters become now; the step becomes 0.
    void Reset();
    // Measures the time since the last tick; paused clocks step 0 and accumulate nothing.
    void Tick(bool paused);
};
