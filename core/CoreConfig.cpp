#include "core/CoreConfig.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(CoreConfig, RTTIPolyBaseClass)

namespace
{
const char* const kLogFrameInfoNames[] = {"Disabled", "Append to every line", "Only when changed", nullptr};
}

void CoreConfig::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<CoreConfig, bool>("Connect to external console",
                                                                           &CoreConfig::m_connectToExternalConsole));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<CoreConfig, bool>("Break on assert", &CoreConfig::m_breakOnAssert));
    table.AddProperty(new RTTIDirectAccessTypedProperty<CoreConfig, uint8_t>(
                          "Log frame info", &CoreConfig::m_logFrameInfo, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kLogFrameInfoNames);
}
