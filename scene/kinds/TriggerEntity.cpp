#include "scene/kinds/TriggerEntity.h"

RTTI_DEFINE_CLASS_TABLE(TriggerEntity, Entity)

void TriggerEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = TriggerEntity;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Active", &C::m_active));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("CustomUserData", &C::m_customUserData));
}

TriggerEntity::TriggerEntity()
{
    RaiseFlag(ENTITYFLAG_POSTFSE, false);
}

TriggerEntity* TriggerEntity::AsTrigger(Entity* entity)
{
    if (entity == nullptr || !entity->IsKindOf(ENTITY_TRIGGER))
        return nullptr;
    return dynamic_cast<TriggerEntity*>(entity);
}

int32_t TriggerEntity::FindOccupant(const Entity* entity) const
{
    int32_t low = 0;
    int32_t high = m_inside.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (m_inside[middle].entity < entity)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

uint32_t TriggerEntity::AddToInsideList(Entity* entity)
{
    const int32_t at = FindOccupant(entity);
    if (at < m_inside.Count() && m_inside[at].entity == entity)
        return ++m_inside[at].count;
    m_inside.Insert({entity, 1}, at);
    return 1;
}

bool TriggerEntity::RemoveFromInsideList(const Entity* entity)
{
    const int32_t at = FindOccupant(entity);
    if (at >= m_inside.Count() || m_inside[at].entity != entity)
        return false;
    m_inside.RemoveAt(at);
    return true;
}

TriggerEntity* TriggerEntity::GetTopTrigger()
{
    TriggerEntity* top = this;
    while (TriggerEntity* parent = AsTrigger(top->GetParent()))
        top = parent;
    return top;
}
