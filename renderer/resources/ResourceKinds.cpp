// Loaders of the resource kinds whose file formats are not read yet.
#include "core/console/GameConsole.h"
#include "renderer/resources/ResourceFont.h"

namespace
{
bool ReportNoLoader(const Resource& resource)
{
    gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "No loader for %s resources yet (%s)", Resource::GetTypeName(resource.GetType()),
                   resource.GetDisplayName());
    return false;
}
} // namespace

bool ResourceFont::DoLoad() { return ReportNoLoader(*this); }
