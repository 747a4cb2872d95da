#include "core/CoreClassRegistration.h"

#include "core/CoreConfig.h"
#include "core/reflection/GUIDReplacementTable.h"

void RegisterCoreClasses()
{
    CoreConfig::RegisterRTTIClass();
    GUIDReplacementEntry::RegisterRTTIClass();
    GUIDReplacementTable::RegisterRTTIClass();
}
