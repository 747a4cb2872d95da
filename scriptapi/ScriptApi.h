// Script API bindings: the Lua state's allocator and panic handler, bitlib, the replication globals,
// the opener of the generated binding packages and the engine's script globals. The packages are
// generated at build time by tolua++ from the .pkg files beside this header, one per engine area;
// later areas add their classes to the same packages. Main thread only.
#pragma once

#include <cstddef>

struct lua_State;
class LuaWrapper;

// Allocation through the engine's global allocator (16-byte aligned blocks).
void* LuaEngineAlloc(void* userData, void* block, size_t oldSize, size_t newSize);
// Logs "LUA panic: %s!!!" before Lua gives up.
int LuaPanicHandler(lua_State* state);

// The library "bitlib": bnot, imod, band, bor, bxor, lshift, rshift, arshift, bchg.
int luaopen_bitlib(lua_State* state);
// toServer, toClient, reliable, unreliable, ReplicateMethod and the registry table "REP_METHODS__".
void RegisterScriptReplicationGlobals(lua_State* state);
// The engine's binding packages, in their fixed order.
void OpenScriptPackages(lua_State* state);
// The UI's hand-written globals ("gUIProperties"); one of the packages above.
void OpenUIScriptGlobals(lua_State* state);
// Lets scripts add methods to bound classes (see ScriptPackages.cpp); run after classes are added.
void MendClassAssignment(lua_State* state);
// Publishes the seventeen engine singletons as script globals, in their fixed order ("gNorvexEngine",
// "gLua", "gConsole", ... "gStringManager"); one not made yet is nil until the engine publishes it.
void RegisterEngineScriptGlobals(LuaWrapper& wrapper);
// The game layer's own package (its delegate classes).
void OpenGameScriptPackages(lua_State* state);
