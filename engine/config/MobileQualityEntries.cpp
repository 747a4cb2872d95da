#include "engine/config/MobileQualityEntries.h"

#include "core/reflection/RTTIClass.h"
#include "core/strings/StringUtils.h"

RTTI_DEFINE_CLASS(MobileDeviceEntry, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(MobileTextureQualityEntry, RTTIPolyBaseClass)

namespace
{
constexpr uint32_t kQualityLevelCount = 5;

const std::string* QualityNames()
{
    static const std::string* const names =
        new std::string[kQualityLevelCount]{"Ultra low", "Low", "Medium", "High", "Very high"};
    return names;
}
} // namespace

const std::string* QualityLevelText(uint32_t level)
{
    return &QualityNames()[level < kQualityLevelCount ? level : 0];
}

bool QualityLevelFromText(const std::string& text, uint32_t& level)
{
    for (uint32_t i = 0; i < kQualityLevelCount; ++i)
    {
        if (StrICmp(text.c_str(), QualityNames()[i].c_str()) == 0)
        {
            level = i;
            return true;
        }
    }
    return false;
}

void MobileDeviceEntry::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MobileDeviceEntry;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Device", &C::m_device));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("RunningAtResolution", &C::m_runningAtResolution));
    table.AddProperty(new RTTISGProperty<C, std::string>("Quality", &C::SetQualityText, &C::GetQualityText));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("ScreenScale", &C::m_screenScale));
}

void MobileTextureQualityEntry::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = MobileTextureQualityEntry;
    table.AddProperty(new RTTISGProperty<C, std::string>("ResMode", &C::SetResModeText, &C::GetResModeText));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("ReqMaxSide", &C::m_reqMaxSide));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("ReqMemory", &C::m_reqMemory));
}
