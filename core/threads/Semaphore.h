// Counting semaphore of the workers. Any thread may use it.
#pragma once

#include "platform/os/Sync.h"

#include <cstdint>

// Semaphore with the largest maximum count, waited on without or with a limit in seconds.
class Semaphore
{
public:
    static constexpr int32_t kMaximumCount = 0x7FFFFFFF;

    explicit Semaphore(int32_t initialCount = 0) : m_semaphore(initialCount, kMaximumCount) {}

    void Release() { m_semaphore.Release(1); }
    void Wait() { m_semaphore.Wait(os::kInfinite); }
    // The limit is cut to whole milliseconds; true when signalled in time.
    bool WaitTimeout(float seconds)
    {
        const float milliseconds = seconds * 1000.0f;
        const uint32_t limit = milliseconds <= 0.0f ? 0u
                               : milliseconds >= 4294967294.0f ? os::kInfinite - 1
                                                               : static_cast<uint32_t>(milliseconds);
        return m_semaphore.Wait(limit);
    }

private:
    os::Semaphore m_semaphore;
};
