#include "engine/scripting/LuaGameDelegate.h"

#include "engine/Game.h"
#include "engine/scripting/LuaWrapper.h"
#include "scene/entities/EntityScript.h"

bool LuaGameDelegate::CallGameForm(const char* method, int argumentCount, int resultCount)
{
    return gLua.ExecuteMethod(argumentCount, resultCount, &gGame, gGame.GetScriptClassName(), method);
}

bool LuaGameDelegate::CallOwnForm(const char* method, int argumentCount, int resultCount)
{
    // The delegate is the first base of every delegate class, so this is the object's address.
    return gLua.ExecuteMethod(argumentCount, resultCount, this, GetScriptClassName(), method);
}

void LuaGameDelegate::OnEntityScriptStart(Entity* entity)
{
    EntityScript::CallOnInit(entity);
}
