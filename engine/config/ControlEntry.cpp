#include "engine/config/ControlEntry.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(ControlEntry, RTTIPolyBaseClass)

void ControlEntry::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<ControlEntry, uint32_t>("Primary", &ControlEntry::m_primary));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<ControlEntry, uint32_t>("Secondary", &ControlEntry::m_secondary));
}
