#include "platform/os/Sync.h"

#include <chrono>

namespace os
{
namespace
{
template <typename Predicate>
bool WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, uint32_t timeoutMs,
             Predicate ready)
{
    if (timeoutMs == kInfinite)
    {
        condition.wait(lock, ready);
        return true;
    }
    return condition.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}
} // namespace

Event::Event(bool manualReset, bool initiallySet) : m_signalled(initiallySet), m_manualReset(manualReset)
{
}

// Notifies under the lock: a waiter that wakes may destroy the event at once.
void Event::Set()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled.store(true, std::memory_order_release);
    if (m_manualReset)
        m_condition.notify_all();
    else
        m_condition.notify_one();
}

void Event::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled.store(false, std::memory_order_relaxed);
}

bool Event::Wait(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!WaitFor(m_condition, lock, timeoutMs, [this] { return m_signalled.load(std::memory_order_relaxed); }))
        return false;
    if (!m_manualReset)
        m_signalled.store(false, std::memory_order_relaxed);
    return true;
}

Event::WaitResult Event::WaitOrWake(uint32_t timeoutMs, const std::atomic<uint32_t>& wakeCount)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto ready = [&] {
        return m_signalled.load(std::memory_order_relaxed) || wakeCount.load(std::memory_order_acquire) != 0;
    };
    if (!WaitFor(m_condition, lock, timeoutMs, ready))
        return WaitResult::TimedOut;
    if (!m_signalled.load(std::memory_order_relaxed))
        return WaitResult::Woken;
    if (!m_manualReset)
        m_signalled.store(false, std::memory_order_relaxed);
    return WaitResult::Signalled;
}

// Taking the mutex orders the caller's earlier store to the wake count before the waiter's recheck.
void Event::Wake()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_condition.notify_all();
}

Semaphore::Semaphore(int32_t initialCount, int32_t maximumCount) : m_count(initialCount), m_maximum(maximumCount)
{
}

bool Semaphore::Release(int32_t count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (count <= 0 || m_count > m_maximum - count)
        return false;
    m_count += count;
    m_condition.notify_all();
    return true;
}

bool Semaphore::Wait(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!WaitFor(m_condition, lock, timeoutMs, [this] { return m_count > 0; }))
        return false;
    --m_count;
    return true;
}
} // namespace os
