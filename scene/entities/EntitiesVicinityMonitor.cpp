#include "scene/entities/EntitiesVicinityMonitor.h"

#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"

namespace
{
EntityIndexMap gSeen;
EntityIndexMap gInside;
} // namespace

void EntitiesVicinityMonitor::Init(uint32_t mask)
{
    m_mask = mask;
    Reset();
}

void EntitiesVicinityMonitor::Reset()
{
    m_positions.Clear();
    m_previousInside.Clear();
    m_current.Clear();
    m_entered.Clear();
    m_left.Clear();
}

void EntitiesVicinityMonitor::AddTestPosition(const Vector& position, float radius)
{
    m_positions.Add({position, radius, radius * radius});
}

void EntitiesVicinityMonitor::CalculateEntitiesVicinityChange()
{
    // An index whose entity died since may now belong to a new entity, which must not inherit the
    // dead one's "inside": the previous map keeps only members of the previous list that live.
    m_previousInside.Clear();
    for (const SafePointer<Entity>& member : m_current)
        if (member)
            m_previousInside.Set(member->GetIndex());
    gSeen.Clear();
    gInside.Clear();
    SafePointerArray<Entity> inside;
    for (const TestPosition& circle : m_positions)
        SpatialQueryWalk::ForEachCandidate(
            gEntityManager.GetPathGrid(), SpatialQueryWalk::AroundPoint(circle.position, circle.radius), m_mask, true,
            gSeen, [&](Entity* entity) {
                const Vector& at = entity->GetGlobalPosition();
                for (const TestPosition& test : m_positions)
                    if (test.radius2 >= at.Distance2XZ(test.position))
                    {
                        gInside.Set(entity->GetIndex());
                        inside.Add(SafePointer<Entity>(entity));
                        return;
                    }
            });
    m_left.Clear();
    for (const SafePointer<Entity>& member : m_current)
        if (member && !gInside.Test(member->GetIndex()))
            m_left.Add(member.Get());
    m_entered.Clear();
    for (const SafePointer<Entity>& member : inside)
        if (!m_previousInside.Test(member->GetIndex()))
            m_entered.Add(member.Get());
    m_current = std::move(inside);
}

namespace
{
Entity* At(const Dynarray<Entity*>& list, int32_t index)
{
    return index >= 0 && index < list.Count() ? list[index] : nullptr;
}
} // namespace

Entity* EntitiesVicinityMonitor::GetCurrentEntity(int32_t index) const
{
    return index >= 0 && index < m_current.Count() ? m_current[index].Get() : nullptr;
}

Entity* EntitiesVicinityMonitor::GetEnteredEntity(int32_t index) const
{
    return At(m_entered, index);
}

Entity* EntitiesVicinityMonitor::GetLeftEntity(int32_t index) const
{
    return At(m_left, index);
}
