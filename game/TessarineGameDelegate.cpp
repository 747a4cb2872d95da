#include "game/TessarineGameDelegate.h"

#include "engine/Game.h"

TessarineGameDelegate gTessarineGameDelegate;

bool TessarineGameDelegate::OnInit()
{
    const bool result = PCMacGameDelegate::OnInit();
    gGame.SetSoftwareCursor("tessaryCursor.tiff", 3, 3);
    return result;
}
