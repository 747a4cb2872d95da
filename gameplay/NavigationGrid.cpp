#include "gameplay/NavigationGrid.h"

#include "core/console/GameConsole.h"

size_t NavigationGrid::Load(const void*, bool)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "NavigationGrid::Load: navigation grids are not built yet");
    return 0;
}
