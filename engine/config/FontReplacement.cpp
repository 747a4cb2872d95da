#include "engine/config/FontReplacement.h"

#include "core/reflection/RTTIClass.h"
#include "engine/config/LanguageNames.h"

RTTI_DEFINE_CLASS(FontReplacement, RTTIPolyBaseClass)

void FontReplacement::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = FontReplacement;
    table.AddProperty(new RTTISGProperty<C, std::string>("Language", &C::SetLanguageName, &C::GetLanguageName));
    table.AddProperty(new RTTISGProperty<C, NameString>("Original", &C::SetOriginal, &C::GetOriginal));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Replacement", &C::m_replacement));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Scale", &C::m_scale));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Granularity", &C::m_granularity));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("MaxSize", &C::m_maxSize));
}

const std::string* FontReplacement::GetLanguageName() const
{
    // The getter hands out an address, so the names live in a table of their own.
    static const std::string* const names = [] {
        std::string* table = new std::string[kNamedLanguageCount + 1];
        for (uint32_t id = 0; id <= kNamedLanguageCount; ++id)
            table[id] = LanguageNameOfId(id);
        return table;
    }();
    return &names[m_language < kNamedLanguageCount ? m_language : kNamedLanguageCount];
}

void FontReplacement::SetLanguageName(const std::string& name)
{
    m_language = LanguageIdFromName(name.c_str());
}
