#include "ui/UIVirtualScreen.h"

#include "core/console/GameConsole.h"

namespace
{
float gWidth = 0.0f;
float gHeight = 0.0f;
bool gReported = false;
} // namespace

void SetUIVirtualScreenSize(float width, float height)
{
    gWidth = width;
    gHeight = height;
    if (!gReported)
    {
        gReported = true;
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "SetUIVirtualScreenSize: the UI drawing matrices are not built yet");
    }
}

void GetUIVirtualScreenSize(float& width, float& height)
{
    width = gWidth;
    height = gHeight;
}
