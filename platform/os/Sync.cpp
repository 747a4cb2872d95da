#include "platform/os/Sync.h"

#include "platform/os/Futex.h"

#include <bit>
#include <climits>
#include <ctime>

namespace os
{
namespace
{
static_assert(std::endian::native == std::endian::little && std::atomic<uint64_t>::is_always_lock_free &&
                  sizeof(std::atomic<uint64_t>) == sizeof(uint64_t),
              "waiters sleep on the high half of a lock-free 64-bit word");

constexpr uint64_t kSleeper = 1;
constexpr uint64_t kOneCount = uint64_t(1) << 32;

uint32_t ValueOf(uint64_t state)
{
    return static_cast<uint32_t>(state >> 32);
}

uint32_t SleepersOf(uint64_t state)
{
    return static_cast<uint32_t>(state);
}

const uint32_t* ValueWord(const std::atomic<uint64_t>& state)
{
    return reinterpret_cast<const uint32_t*>(&state) + 1;
}

// The moment a wait gives up, on the clock the futex measures its limit against.
class Deadline
{
public:
    explicit Deadline(uint32_t timeoutMs) : m_infinite(timeoutMs == kInfinite), m_timeoutMs(timeoutMs) {}

    bool HasPassed()
    {
        if (m_infinite)
            return false;
        if (m_timeoutMs == 0)
            return true;
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (!m_started)
        {
            // Read the clock only once a wait is about to sleep: most waits find their value at once.
            m_started = true;
            m_at.tv_sec = now.tv_sec + static_cast<time_t>(m_timeoutMs / 1000);
            m_at.tv_nsec = now.tv_nsec + static_cast<long>(m_timeoutMs % 1000) * 1000000L;
            if (m_at.tv_nsec >= 1000000000L)
            {
                m_at.tv_sec += 1;
                m_at.tv_nsec -= 1000000000L;
            }
            return false;
        }
        return now.tv_sec > m_at.tv_sec || (now.tv_sec == m_at.tv_sec && now.tv_nsec >= m_at.tv_nsec);
    }
    const timespec* Get() const { return m_infinite ? nullptr : &m_at; }

private:
    const bool m_infinite;
    const uint32_t m_timeoutMs;
    bool m_started = false;
    timespec m_at{};
};

// Registers as a sleeper, sleeps unless `keepAwake(state)` says the word already changed, and
// unregisters; returns the state after that. Registering and changing the value are steps on the same
// word, so either the setter sees this sleeper and wakes it, or the state seen here holds the change.
template <typename KeepAwake>
uint64_t Sleep(std::atomic<uint64_t>& state, Deadline& deadline, KeepAwake keepAwake)
{
    const uint64_t registered = state.fetch_add(kSleeper, std::memory_order_acq_rel) + kSleeper;
    if (!keepAwake(registered))
        FutexWait(ValueWord(state), ValueOf(registered), deadline.Get());
    return state.fetch_sub(kSleeper, std::memory_order_acq_rel) - kSleeper;
}
} // namespace

Event::Event(bool manualReset, bool initiallySet)
    : m_state(initiallySet ? kSignalled : 0), m_manualReset(manualReset)
{
}

void Event::Set()
{
    // Read before the set: from then on the event may be gone.
    const int32_t wakeCount = m_manualReset ? INT_MAX : 1;
    const uint32_t* const word = ValueWord(m_state);
    const uint64_t before = m_state.fetch_or(kSignalled, std::memory_order_acq_rel);
    // Setting a set event changes nothing: whoever its first Set woke has yet to take it.
    if ((before & kSignalled) == 0 && SleepersOf(before) != 0)
        FutexWake(word, wakeCount);
}

void Event::Reset()
{
    m_state.fetch_and(~kSignalled, std::memory_order_acq_rel);
}

bool Event::Wait(uint32_t timeoutMs)
{
    return WaitFor(timeoutMs, nullptr) == WaitResult::Signalled;
}

Event::WaitResult Event::WaitOrWake(uint32_t timeoutMs, const std::atomic<uint32_t>& wakeCount)
{
    return WaitFor(timeoutMs, &wakeCount);
}

// A waiter woken by a Set always looks at the set bit before its time limit or the wake count, so
// an auto-reset Set that wakes a single sleeper is never left untaken while others sleep.
Event::WaitResult Event::WaitFor(uint32_t timeoutMs, const std::atomic<uint32_t>* wakeCount)
{
    const auto woken = [wakeCount] {
        return wakeCount != nullptr && wakeCount->load(std::memory_order_acquire) != 0;
    };
    Deadline deadline(timeoutMs);
    uint64_t state = m_state.load(std::memory_order_acquire);
    for (;;)
    {
        if ((state & kSignalled) != 0)
        {
            if (m_manualReset ||
                m_state.compare_exchange_weak(state, state & ~kSignalled, std::memory_order_acquire,
                                              std::memory_order_acquire))
                return WaitResult::Signalled;
            continue;
        }
        if (woken())
            return WaitResult::Woken;
        if (deadline.HasPassed())
            return WaitResult::TimedOut;
        state = Sleep(m_state, deadline, [&woken](uint64_t seen) { return (seen & kSignalled) != 0 || woken(); });
    }
}

void Event::Wake()
{
    const uint32_t* const word = ValueWord(m_state);
    const uint64_t before = m_state.fetch_add(kWakeStep, std::memory_order_acq_rel);
    if (SleepersOf(before) != 0)
        FutexWake(word, INT_MAX);
}

Semaphore::Semaphore(int32_t initialCount, int32_t maximumCount)
    : m_state(static_cast<uint64_t>(static_cast<uint32_t>(initialCount)) << 32), m_maximum(maximumCount)
{
}

bool Semaphore::Release(int32_t count)
{
    if (count <= 0)
        return false;
    const uint32_t* const word = ValueWord(m_state);
    uint64_t state = m_state.load(std::memory_order_relaxed);
    do
    {
        if (static_cast<int32_t>(ValueOf(state)) > m_maximum - count)
            return false;
    } while (!m_state.compare_exchange_weak(state, state + static_cast<uint64_t>(count) * kOneCount,
                                            std::memory_order_acq_rel, std::memory_order_relaxed));
    if (SleepersOf(state) != 0)
        FutexWake(word, count);
    return true;
}

bool Semaphore::Wait(uint32_t timeoutMs)
{
    Deadline deadline(timeoutMs);
    uint64_t state = m_state.load(std::memory_order_acquire);
    for (;;)
    {
        if (ValueOf(state) != 0)
        {
            if (m_state.compare_exchange_weak(state, state - kOneCount, std::memory_order_acquire,
                                              std::memory_order_acquire))
                return true;
            continue;
        }
        if (deadline.HasPassed())
            return false;
        state = Sleep(m_state, deadline, [](uint64_t seen) { return ValueOf(seen) != 0; });
    }
}
} // namespace os
