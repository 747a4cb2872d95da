#include "renderer/FrameClock.h"

#include "core/time/GameTimer.h"
#include "platform/os/Clock.h"

FrameClock FrameClock::Of(const GameTimer& timer)
{
    FrameClock clock;
    clock.lastCounter = timer.GetTime();
    clock.accumulatedCounter = timer.GetTime();
    clock.lastStepSeconds = timer.GetLastStep();
    clock.stepCount = timer.GetTickCount();
    return clock;
}

void FrameClock::Reset()
{
    lastCounter = uint64_t(os::QueryCounter());
    accumulatedCounter = lastCounter;
    lastStepSeconds = 0.0f;
}

void FrameClock::Tick(bool paused)
{
    const uint64_t now = uint64_t(os::QueryCounter());
    const uint64_t step = now - lastCounter;
    lastCounter = now;
    if (paused)
    {
        lastStepSeconds = 0.0f;
        return;
    }
    accumulatedCounter += step;
    ++stepCount;
    lastStepSeconds = float(double(step) / double(os::kCounterFrequency));
}
