// Sleeping on a 32-bit word until another thread changes it (Linux futexes, private to the process).
// Any thread may call these. The kernel only parks and wakes threads: whatever a waker hands a
// sleeper must travel through atomics with release and acquire order, which is also all that
// thread sanitizers see.
#pragma once

#include <cstdint>
#include <ctime>

namespace os
{
// Sleeps while *word still holds `expected`, until woken or until `deadline` (CLOCK_MONOTONIC,
// absolute; nullptr: no limit). May return early for no reason: callers look at the word again.
void FutexWait(const uint32_t* word, uint32_t expected, const timespec* deadline);
// Wakes up to `count` threads sleeping on `word`. The word may already be gone (its owner woke on
// its own and destroyed it): the kernel then wakes nobody or a thread that rechecks its own word.
void FutexWake(const uint32_t* word, int32_t count);
} // namespace os
