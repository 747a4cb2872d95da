#include "effects/particles/PhysicalEffectObject.h"

#include <atomic>

namespace
{
std::atomic<bool> sPhysicalEffectWorldEnabled{false};
} // namespace

bool PhysicalEffectObject::IsWorldEnabled()
{
    return sPhysicalEffectWorldEnabled.load(std::memory_order_acquire);
}

void PhysicalEffectObject::SetWorldEnabled(bool enabled)
{
    sPhysicalEffectWorldEnabled.store(enabled, std::memory_order_release);
}

bool PhysicalEffectObject::PublishBounds(const BoundingBox4& bounds)
{
    if (!m_publishedCounter.IsAllCompleted())
        return false;
    m_publishedBounds = bounds;
    m_publishedCounter.IncrementIssued();
    return true;
}

bool PhysicalEffectObject::FetchBounds(BoundingBox4& bounds)
{
    if (m_publishedCounter.GetIssued() <= m_publishedCounter.GetCompleted())
        return false;
    bounds = m_publishedBounds;
    m_publishedCounter.IncrementCompleted();
    return true;
}
