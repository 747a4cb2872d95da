#include "game/PCMacGameDelegate.h"

#include "engine/scripting/LuaWrapper.h"
#include "scriptapi/ScriptApi.h"

bool PCMacGameDelegate::OnInit()
{
    StartProfiles();
    return TSRLuaGameDelegate::OnInit();
}

void PCMacGameDelegate::PublishScriptObjects()
{
    OpenGameScriptPackages(gLua.GetState());
    // The delegate chain is this object's first base, so its address is what scripts expect.
    gLua.RegisterGlobalObject(static_cast<TSRLuaGameDelegate*>(this), GetScriptClassName(), "gGameDelegate");
}
