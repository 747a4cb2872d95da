#include "ui/UIClassRegistration.h"

#include "ui/StringHistoryContainer.h"

void RegisterUIClasses()
{
    StringHistoryContainer::RegisterRTTIClass();
}
