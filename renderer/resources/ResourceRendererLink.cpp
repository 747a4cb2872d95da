#include "renderer/resources/ResourceRendererLink.h"

void SubmitRendererCommands(bool sync)
{
    (void)sync;
}
