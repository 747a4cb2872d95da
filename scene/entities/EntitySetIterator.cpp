#include "scene/entities/EntitySetIterator.h"

#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/EntitySet.h"
#include "scene/entities/SpatialQueryWalk.h"

void EntitySetIterator::Init(const char* setName)
{
    m_cursor = 0;
    m_entities.Clear();
    const EntitySet* const set = gEntityManager.FindEntitySet(setName);
    if (set == nullptr)
        return;
    for (const SafePointer<Entity>& member : set->GetEntities())
        if (member)
            m_entities.Add(member);
}

void EntitySetIterator::InitFromNetwork(Entity* entity)
{
    m_cursor = 0;
    m_entities.Clear();
    if (entity == nullptr || entity->GetSets() == nullptr)
        return;
    EntityIndexMap& visited = EntityIndexMap::Scratch();
    visited.Clear();
    // Entities without an index cannot be told apart by the map; they are compared by identity.
    const auto seen = [&](const Entity* candidate) {
        if (candidate->GetIndex() < kMaxEntities)
            return visited.Test(candidate->GetIndex());
        if (candidate == entity)
            return true;
        for (const SafePointer<Entity>& held : m_entities)
            if (held.Get() == candidate)
                return true;
        return false;
    };
    visited.Set(entity->GetIndex());
    for (const EntitySet* set : *entity->GetSets())
        for (const SafePointer<Entity>& member : set->GetEntities())
            if (member && !seen(member.Get()))
            {
                visited.Set(member->GetIndex());
                m_entities.Add(member);
            }
}

Entity* EntitySetIterator::GetNext()
{
    while (m_cursor < uint32_t(m_entities.Count()))
        if (Entity* const entity = m_entities[int32_t(m_cursor++)].Get())
            return entity;
    return nullptr;
}
