#include "renderer/resources/ResourceTemplate.h"

#include "core/console/GameConsole.h"

RTTI_DEFINE_CLASS(ResourceTemplate, RTTIPolyBaseClass)

void ResourceTemplate::BuildClassProperties(RTTIPropertiesBase&) {}

bool ResourceTemplate::DoLoad()
{
    gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "No loader for template %s yet", GetDisplayName());
    return false;
}
