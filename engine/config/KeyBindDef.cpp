#include "engine/config/KeyBindDef.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(KeyBindDef, RTTIPolyBaseClass)

void KeyBindDef::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<KeyBindDef, uint32_t>("Key code", &KeyBindDef::m_keyCode));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<KeyBindDef, std::string>("Command string", &KeyBindDef::m_command));
}
