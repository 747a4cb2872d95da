#include "core/reflection/RTTIProperty.h"

#include <cstdio>

RTTIProperty::RTTIProperty(const char* name, const char* description, uint32_t flags, uint32_t data)
    : m_name(name != nullptr ? name : ""), m_description(description != nullptr ? description : ""), m_flags(flags),
      m_data(data)
{
}

bool RTTIProperty::SetFromText(RTTIPolyBaseClass* object, const char* text) const
{
    (void)object;
    (void)text;
    return false;
}

bool RTTIProperty::ToText(const RTTIPolyBaseClass* object, char* buffer, size_t size) const
{
    (void)object;
    if (size > 0)
        buffer[0] = 0;
    return false;
}

RTTIRecordReaders RTTIProperty::GetRecordReaders() const
{
    return {[](const RTTIProperty& property, const uint8_t* at, RTTIPolyBaseClass* object) { property.ReadFixed(at, object); },
            [](const RTTIProperty& property, RTTIPolyBaseClass* object, const char* text) {
                property.SetFromRecordText(object, text);
            },
            nullptr};
}

RTTIProperty* RTTIProperty::SetEnumerationNames(const char* const* names)
{
    m_enumerationNames = names;
    return this;
}

bool RTTIProperty::IsSerialized(uint32_t flags) const
{
    if (m_flags & RTTI_PROPERTY_NOT_SERIALIZED)
        return false;
    return !((flags & 1) && (m_flags & RTTI_PROPERTY_SKIPPABLE));
}

RTTIPropertyGroup::RTTIPropertyGroup(const char* name, uint32_t parameter, const char* description)
    : RTTIProperty(name, description, 0), m_parameter(parameter)
{
}

bool RTTIPropertyGroup::ToText(const RTTIPolyBaseClass* object, char* buffer, size_t size) const
{
    (void)object;
    if (size > 0)
        buffer[0] = 0;
    return true;
}
