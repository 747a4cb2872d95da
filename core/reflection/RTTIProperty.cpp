#include "core/reflection/RTTIProperty.h"

#include "core/strings/StringUtils.h"

#include <cctype>
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

bool RTTIProperty::FindEnumerationChoice(const char* text, uint32_t& index) const
{
    if (m_enumerationNames == nullptr)
        return false;
    for (uint32_t i = 0; m_enumerationNames[i] != nullptr; ++i)
    {
        if (StrICmp(m_enumerationNames[i], text) == 0)
        {
            index = i;
            return true;
        }
    }
    return false;
}

bool RTTIProperty::IsIntegerText(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    if (*text == '-' || *text == '+')
        ++text;
    if (!std::isdigit(static_cast<unsigned char>(*text)))
        return false;
    while (std::isdigit(static_cast<unsigned char>(*text)))
        ++text;
    while (*text == ' ' || *text == '\t')
        ++text;
    return *text == 0;
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
