#include "core/reflection/RTTIObjectSupport.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIClassRegistry.h"

#include <cstring>

namespace rtti
{
void ReportElementCountTooLarge(const char* propertyName, uint32_t count, size_t remaining)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Array \"%s\" claims %u elements but only %zu bytes follow", propertyName, count,
                   remaining);
}

RTTIPropertiesBase* FindRegisteredTable(const char* className)
{
    if (RTTIClassRegistry::FindClassId(className) >= 0)
    {
        RTTIPropertiesBase* table = RTTIPropertiesBase::FindTable(className);
        if (table != nullptr && std::strcmp(table->GetClassName(), className) == 0)
            return table;
        if (RTTIPolyBaseClass* object = RTTIClassRegistry::CreateObject(className))
        {
            table = object->GetClassProperties();
            delete object;
            if (table != nullptr)
                return table;
        }
    }
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Class factory cannot create an object of class %s. Some objects cannot be deserialized properly.",
                   className);
    return nullptr;
}

bool IsTableKindOf(const RTTIPropertiesBase* table, const RTTIPropertiesBase* base)
{
    if (base == nullptr)
        return true;
    for (; table != nullptr; table = table->GetBaseTable())
        if (table == base)
            return true;
    return false;
}

void ReportWrongClass(const char* className, const char* propertyName)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Class %s cannot be stored in property \"%s\"; the record is refused", className, propertyName);
}
} // namespace rtti
