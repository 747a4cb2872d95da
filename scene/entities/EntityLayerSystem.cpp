#include "scene/entities/EntityLayerSystem.h"

RTTI_DEFINE_CLASS_TABLE(EntityLayerSystem, RTTIPolyBaseClass)

void EntityLayerSystem::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EntityLayerSystem;
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, EntityLayerGroup>("Root", &C::m_root));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("ActiveLayerId", &C::m_activeLayerId));
}

EntityLayerSystem::EntityLayerSystem()
{
    Reset();
}

void EntityLayerSystem::Reset()
{
    m_root.Clear();
    m_root.SetName("LAYERS");
    EntityLayer* const layer = new EntityLayer;
    layer->SetName("Default");
    layer->GenerateGUID();
    layer->SetId(1);
    layer->m_persistent = true;
    m_root.GetLayers().Add(layer);
    m_activeLayerId = 1;
}

void EntityLayerSystem::HideLayerInGame(const char* name, bool hide)
{
    if (EntityLayer* const layer = m_root.FindLayer(name))
        layer->m_visibleInGame = !hide;
}

void EntityLayerSystem::HideLayerGroupInGame(const char* name, bool hide)
{
    if (EntityLayerGroup* const group = m_root.FindGroup(name))
        group->SetVisibleInGame(!hide);
}

void EntityLayerSystem::GetSceneLayerMask(EntityLayerMask& mask) const
{
    mask = EntityLayerMask();
    mask.Set(0);
    for (uint32_t id = 1; id < EntityLayer::kLayerCount; ++id)
    {
        const EntityLayer* const layer = EntityLayer::FindById(id);
        if (layer == nullptr || layer->m_visible)
            mask.Set(id);
    }
}

void EntityLayerSystem::GetVisibleLayerMask(EntityLayerMask& mask) const
{
    mask = EntityLayerMask();
    mask.Set(0);
    for (uint32_t id = 1; id < EntityLayer::kLayerCount; ++id)
    {
        const EntityLayer* const layer = EntityLayer::FindById(id);
        if (layer == nullptr || layer->m_visibleInGame)
            mask.Set(id);
    }
}

void EntityLayerSystem::GetFrozenLayerMask(EntityLayerMask& mask) const
{
    mask = EntityLayerMask();
    for (uint32_t id = 0; id < EntityLayer::kLayerCount; ++id)
    {
        const EntityLayer* const layer = EntityLayer::FindById(id);
        if (layer != nullptr && layer->m_frozen)
            mask.Set(id);
    }
}
