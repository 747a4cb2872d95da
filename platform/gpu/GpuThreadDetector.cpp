#include "platform/gpu/GpuThreadDetector.h"

#include "platform/gpu/GpuLog.h"
#include "platform/os/Thread.h"

namespace gpu
{
namespace
{
// Enough lines to see the culprits without flooding the log when a caller keeps doing it.
constexpr uint64_t kLoggedCollisions = 8;
}

void GpuThreadDetector::Enter(const char* call)
{
    if (m_mutex.try_lock())
        return;
    const uint32_t other = m_inside.load(std::memory_order_acquire);
    const uint64_t count = m_collisions.fetch_add(1, std::memory_order_acq_rel) + 1;
    if (count <= kLoggedCollisions)
        LogError("%s: thread %u called %s while thread %u was inside the device", m_owner, os::CurrentThreadId(),
                 call, other);
    m_mutex.lock();
}

GpuCallScope::GpuCallScope(GpuThreadDetector& detector, const char* call) : m_detector(detector)
{
    m_detector.Enter(call);
    m_previous = m_detector.m_inside.load(std::memory_order_relaxed);
    m_detector.m_inside.store(os::CurrentThreadId(), std::memory_order_release);
}

GpuCallScope::~GpuCallScope()
{
    m_detector.m_inside.store(m_previous, std::memory_order_release);
    m_detector.Leave();
}
} // namespace gpu
