// The set operations scripts use: the manager's lookup, creation and purge of sets, and an entity's
// joining and leaving sets by name.
#include "core/strings/StringUtils.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/EntitySet.h"

EntitySet* EntityManager::FindEntitySet(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    for (EntitySet* set : m_entitySets)
        if (StrICmp(set->GetName(), name) == 0)
            return set;
    return nullptr;
}

EntitySet* EntityManager::CreateEntitySet()
{
    auto* const set = new EntitySet;
    m_entitySets.Add(set);
    return set;
}

void EntityManager::PurgeEntitySets()
{
    int32_t i = 0;
    while (i < m_entitySets.Count())
    {
        EntitySet* const set = m_entitySets[i];
        SafePointerArray<Entity>& members = set->GetEntities();
        for (int32_t k = members.Count() - 1; k >= 0; --k)
            if (!members[k])
                members.RemoveAt(k);
        if (!members.IsEmpty())
        {
            ++i;
            continue;
        }
        delete set;
        const int32_t last = m_entitySets.Count() - 1;
        m_entitySets[i] = m_entitySets[last];
        m_entitySets.RemoveAt(last);
    }
}

void Entity::AddToSet(const char* setName, bool create)
{
    EntitySet* set = gEntityManager.FindEntitySet(setName);
    if (set == nullptr)
    {
        if (!create || setName == nullptr)
            return;
        gEntityManager.PurgeEntitySets();
        set = gEntityManager.CreateEntitySet();
        set->SetName(setName);
    }
    set->AddEntity(this);
}

void Entity::RemoveFromSet(const char* setName)
{
    if (EntitySet* const set = gEntityManager.FindEntitySet(setName))
        set->RemoveEntity(this);
}

const char* Entity::GetSetName(uint32_t index) const
{
    return index < GetSetsCount() ? (*m_sets)[int32_t(index)]->GetName() : nullptr;
}
