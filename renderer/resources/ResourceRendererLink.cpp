#include "renderer/resources/ResourceRendererLink.h"

#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceManager.h"

void SubmitRendererCommands(bool sync)
{
    // Only the stream's writer (the game thread) may submit; the worker threads never do.
    if (gRenderer == nullptr || !gRenderer->IsStreamOpen() || gRenderer->IsCurrentThread() ||
        (gResourceManager != nullptr && gResourceManager->IsCurrentThread()))
        return;
    gRenderer->SubmitCommands(sync);
}
