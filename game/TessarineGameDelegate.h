// The game's one delegate object. Main thread only.
#pragma once

#include "game/PCMacGameDelegate.h"

// Script class "TessarineGameDelegate": sets the game's software cursor after start-up.
class TessarineGameDelegate : public PCMacGameDelegate
{
public:
    const char* GetScriptClassName() const override { return "TessarineGameDelegate"; }
    bool OnInit() override;
};

extern TessarineGameDelegate gTessarineGameDelegate;
