// The high-resolution counter: 10 MHz ticks of the monotonic clock. Tests may switch to a manual
// clock whose value they set. Any thread may read it.
#pragma once

#include <cstdint>

namespace os
{
constexpr int64_t kCounterFrequency = 10000000;

// Current counter value in 100 ns ticks (or the manual value while the manual clock is on).
int64_t QueryCounter();
int64_t QueryCounterFrequency();

// Manual clock for tests: while enabled, QueryCounter returns the value last set.
void EnableManualCounter(int64_t value);
void SetManualCounter(int64_t value);
void AdvanceManualCounter(int64_t ticks);
void DisableManualCounter();

// Sleeps the calling thread; 0 yields.
void Sleep(uint32_t milliseconds);
} // namespace os
