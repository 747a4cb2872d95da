// The script replication globals: direction and reliability flags for replicated method calls and
// ReplicateMethod, which gives a script function the id under which the peer's calls reach it.
// The multiplayer engine sends calls by that id; LuaWrapper::CallReplicatedMethod runs them.
#include "scriptapi/ScriptApi.h"

#include <lua.hpp>

namespace
{
constexpr const char* kMethodsTable = "REP_METHODS__";

// ReplicateMethod(function [, flags]) -> id (1, 2, ...) in REP_METHODS__.
int ScriptReplicateMethod(lua_State* state)
{
    luaL_checktype(state, 1, LUA_TFUNCTION);
    lua_getfield(state, LUA_REGISTRYINDEX, kMethodsTable);
    const int id = int(lua_objlen(state, -1)) + 1;
    lua_pushvalue(state, 1);
    lua_rawseti(state, -2, id);
    lua_pop(state, 1);
    lua_pushnumber(state, id);
    return 1;
}

void SetNumber(lua_State* state, const char* name, int value)
{
    lua_pushnumber(state, value);
    lua_setglobal(state, name);
}
} // namespace

void RegisterScriptReplicationGlobals(lua_State* state)
{
    SetNumber(state, "toServer", 1);
    SetNumber(state, "toClient", 2);
    SetNumber(state, "reliable", 4);
    SetNumber(state, "unreliable", 0);
    lua_register(state, "ReplicateMethod", &ScriptReplicateMethod);
    lua_newtable(state);
    lua_setfield(state, LUA_REGISTRYINDEX, kMethodsTable);
}
