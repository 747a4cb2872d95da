#include "scene/entities/EntityLayer.h"

#include <cstring>

namespace
{
constexpr HDRColor kDefaultColor(255, 255, 255, 255);

EntityLayer* gLayersById[EntityLayer::kLayerCount] = {};
} // namespace

RTTI_DEFINE_CLASS_TABLE(EntityLayer, RTTIPolyBaseClass)

void EntityLayer::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EntityLayer;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("GUID", &C::m_guid));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Visible", &C::m_visible));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Frozen", &C::m_frozen));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Visible in game", &C::m_visibleInGame));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Persistent", &C::m_persistent));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Proprietary color set", &C::m_proprietaryColorSet));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Selection editor selected", &C::m_selectionEditorSelected));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color", &C::m_color));
    table.AddProperty(new RTTISGProperty<C, uint8_t>("Id", &C::SetId, &C::GetIdValue));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Optimization sector size", &C::m_optimizationSectorSize));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("UserData", &C::m_userData));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Scene variation mask", &C::m_sceneVariationMask));
    table.AddProperty(new RTTIPropertyGroup("Platforms"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Present in iPhone build", &C::m_presentInIPhoneBuild));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Present in iPad build", &C::m_presentInIPadBuild));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Required distro tag", &C::m_requiredDistroTag));
}

EntityLayer::EntityLayer() : m_color(kDefaultColor) {}

EntityLayer::~EntityLayer()
{
    // Another layer may have taken this id since (a record read over an old tree): its slot stays.
    if (gLayersById[m_id] == this)
        gLayersById[m_id] = nullptr;
}

void EntityLayer::SetId(const uint8_t& id)
{
    if (gLayersById[m_id] == this)
        gLayersById[m_id] = nullptr;
    m_id = id;
    gLayersById[id] = this;
}

EntityLayer* EntityLayer::FindById(uint32_t id)
{
    return id < kLayerCount ? gLayersById[id] : nullptr;
}

RTTI_DEFINE_CLASS_TABLE(EntityLayerGroup, RTTIPolyBaseClass)

void EntityLayerGroup::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EntityLayerGroup;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Name", &C::m_name));
    table.AddProperty(new RTTISGProperty<C, HDRColor>("Color", &C::SetColor, &C::GetColorValue));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Proprietary color set", &C::m_proprietaryColorSet));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Expanded", &C::m_expanded));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<C, EntityLayerGroup>("Children", &C::m_children));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<C, EntityLayer>("Layers", &C::m_layers));
}

EntityLayerGroup::EntityLayerGroup() : m_color(kDefaultColor) {}

EntityLayerGroup::~EntityLayerGroup()
{
    Clear();
}

void EntityLayerGroup::Clear()
{
    m_children.DeleteAllPointers();
    m_layers.DeleteAllPointers();
}

void EntityLayerGroup::SetColor(const HDRColor& color)
{
    m_color = color;
    for (EntityLayerGroup* child : m_children)
        if (child != nullptr && !child->m_proprietaryColorSet)
            child->SetColor(color);
    for (EntityLayer* layer : m_layers)
        if (layer != nullptr && !layer->m_proprietaryColorSet)
            layer->m_color = color;
}

EntityLayer* EntityLayerGroup::FindLayer(const char* name)
{
    const char* const wanted = name != nullptr ? name : "";
    for (EntityLayer* layer : m_layers)
        if (layer != nullptr && std::strcmp(layer->GetName(), wanted) == 0)
            return layer;
    for (EntityLayerGroup* child : m_children)
        if (child != nullptr)
            if (EntityLayer* found = child->FindLayer(wanted))
                return found;
    return nullptr;
}

EntityLayerGroup* EntityLayerGroup::FindGroup(const char* name)
{
    const char* const wanted = name != nullptr ? name : "";
    for (EntityLayerGroup* child : m_children)
        if (child != nullptr && std::strcmp(child->GetName(), wanted) == 0)
            return child;
    for (EntityLayerGroup* child : m_children)
        if (child != nullptr)
            if (EntityLayerGroup* found = child->FindGroup(wanted))
                return found;
    return nullptr;
}

void EntityLayerGroup::SetVisibleInGame(bool visible)
{
    for (EntityLayer* layer : m_layers)
        if (layer != nullptr)
            layer->m_visibleInGame = visible;
    for (EntityLayerGroup* child : m_children)
        if (child != nullptr)
            child->SetVisibleInGame(visible);
}
