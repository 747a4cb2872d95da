// Synchronisation stand-ins: events and semaphores over futexes, recursive critical sections over
// the C++ standard library. Any thread may use them.
//
// An event or a semaphore is one 64-bit atomic word: the high half is its value (the event's set
// bit and wake sequence, or the semaphore's count), the low half counts the threads asleep on it.
// Waiters sleep on the high half. A setter changes the value and learns whether anyone sleeps in a
// single atomic step, skips the system call when nobody does, and reads nothing of the object
// afterwards: a waiter that sees the change on its own may return and destroy the object at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace os
{
// Wait time meaning "no time limit".
constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Auto-reset (one waiter released per Set) or manual-reset (stays set until Reset) event.
class Event
{
public:
    explicit Event(bool manualReset, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event was signalled within timeoutMs (kInfinite waits for ever, 0 only polls).
    bool Wait(uint32_t timeoutMs);
    // Whether the event is set, without taking its lock or resetting it: a waiter can watch for the
    // Set it expects without touching the lock the setter takes, then Wait to take the event.
    bool IsSet() const { return (m_state.load(std::memory_order_acquire) & kSignalled) != 0; }
    bool IsManualReset() const { return m_manualReset; }

    enum class WaitResult
    {
        Signalled,
        Woken,
        TimedOut,
    };
    // Like Wait, but also returns Woken (leaving the event as it is) once `wakeCount` is nonzero.
    // Whoever raises `wakeCount` calls Wake afterwards so a sleeping waiter rechecks it.
    WaitResult WaitOrWake(uint32_t timeoutMs, const std::atomic<uint32_t>& wakeCount);
    void Wake();

private:
    static constexpr uint64_t kSignalled = uint64_t(1) << 32;
    // Wake changes the value, so a waiter that looked at wakeCount just before cannot sleep through it.
    static constexpr uint64_t kWakeStep = uint64_t(2) << 32;

    WaitResult WaitFor(uint32_t timeoutMs, const std::atomic<uint32_t>* wakeCount);

    std::atomic<uint64_t> m_state;
    const bool m_manualReset;
};

// Counting semaphore with a maximum count.
class Semaphore
{
public:
    Semaphore(int32_t initialCount, int32_t maximumCount);
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    // False (and no change) when the count would pass the maximum.
    bool Release(int32_t count = 1);
    bool Wait(uint32_t timeoutMs);

private:
    std::atomic<uint64_t> m_state;
    const int32_t m_maximum;
};

// Recursive lock: the owning thread may enter again.
class CriticalSection
{
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { m_mutex.lock(); }
    bool TryEnter() { return m_mutex.try_lock(); }
    void Leave() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// Holds a critical section for one scope.
class ScopedLock
{
public:
    explicit ScopedLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~ScopedLock() { m_section.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& m_section;
};
} // namespace os
