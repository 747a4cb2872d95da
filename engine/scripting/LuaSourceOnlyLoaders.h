// Replaces the base library's loaders (loadstring, load, loadfile, dofile) with ones that refuse
// precompiled chunks: crafted bytecode can crash this Lua version, so scripts reach it only as
// source text. Main thread, on the wrapper's state.
#pragma once

struct lua_State;

void InstallSourceOnlyLoaders(lua_State* state);
