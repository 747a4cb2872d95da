#include "ui/UIVirtualScreen.h"

#include "ui/screens/UIScreen.h"

void SetUIVirtualScreenSize(float width, float height)
{
    UIScreen::SetInGameRenderMatrices(width, height);
}
