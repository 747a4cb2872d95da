// The UI's hand-written script globals: objects of the UI that scripts reach by name rather than
// through a generated binding's function. Opened with the binding packages, after the UI's own.
#include "scriptapi/ScriptApi.h"
#include "ui/recipes/UIProperties.h"

#include <lua.hpp>
#include <tolua++.h>

void OpenUIScriptGlobals(lua_State* state)
{
    // The text values that recipe-built texts bind to by name.
    tolua_pushusertype(state, &gUIProperties, "UIProperties");
    lua_setglobal(state, "gUIProperties");
}
