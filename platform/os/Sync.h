// Synchronisation stand-ins over the C++ standard library: events, semaphores and recursive
// critical sections. Any thread may use them.
#pragma once

#include <atomic>
#include <condition_variable>
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
    bool IsSet() const { return m_signalled.load(std::memory_order_acquire); }
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
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::atomic<bool> m_signalled;
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
    std::mutex m_mutex;
    std::condition_variable m_condition;
    int32_t m_count;
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
