#include "scene/kinds/InGameUITemplate.h"

#include "scene/kinds/InGameUIEntity.h"

RTTI_DEFINE_CLASS(InGameUITemplate, EntityTemplate)

void InGameUITemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<InGameUITemplate, Vector>("Size", &InGameUITemplate::m_size, 64));
}

InGameUITemplate::InGameUITemplate()
{
    SetTypeId(kTypeId);
}

Entity* InGameUITemplate::CreateEntity()
{
    return new InGameUIEntity;
}
