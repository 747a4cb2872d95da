// The desktop layer of the game's delegate. Main thread only.
#pragma once

#include "engine/scripting/TSRLuaGameDelegate.h"
#include "game/GameDelegateProfilesModuleSteam.h"

// Script class "PCMacGameDelegate": opens the game's script packages, publishes gGameDelegate and
// starts the gamer profiles before the script OnInit.
class PCMacGameDelegate : public TSRLuaGameDelegate, public GameDelegateProfilesModuleSteam
{
public:
    const char* GetScriptClassName() const override { return "PCMacGameDelegate"; }
    bool IsAnalyticsEnabled() override { return true; }
    bool OnInit() override;
    void PublishScriptObjects() override;
    void OnFirstStartup() override {}
};
