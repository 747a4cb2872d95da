// Inline forms of the argument tests and object fetches in the generated bindings (they are rewritten
// to call these at build time). Each answers the common case itself and hands every other case to
// the library, so the answers and messages are the library's. Main thread (the Lua state's).
#pragma once

#include "scriptapi/LuaTypeTestCache.h"

#include <tolua++.h>

#include <cstdlib>
#include <cstring>

// Whether the argument at `index` is an object whose metatable is registered under exactly `type`
// (a literal of the generated code). A metatable matched once is known by its address afterwards.
inline bool NorvexIsExactUserType(lua_State* state, int index, const char* type)
{
    if (lua_type(state, index) != LUA_TUSERDATA || !lua_getmetatable(state, index))
        return false;
    LuaTypeTestCache* const cache = LuaTypeTestCache::Of(state);
    if (cache != nullptr && cache->Knows(type, lua_topointer(state, -1)))
    {
        lua_pop(state, 1);
        return true;
    }
    lua_pushvalue(state, -1);
    lua_rawget(state, LUA_REGISTRYINDEX);
    // metatable, its registered name
    size_t length = 0;
    const char* const name = lua_tolstring(state, -1, &length);
    // The length of a literal is known when this is compiled: the comparison is a few word compares.
    const size_t typeLength = std::strlen(type);
    const bool same = name != nullptr && length == typeLength && std::memcmp(name, type, typeLength) == 0;
    if (same && cache != nullptr)
        cache->Remember(state, type, -2);
    lua_pop(state, 2);
    return same;
}

// Whether the argument at `index` may be used as a `const type`: the library's own test compares the
// object's class name with "const type" first, which never matches an object pushed as `type`, and so
// always takes its slow inheritance walk. An object of exactly `type` is accepted here; everything
// else gets the library's test, with the same answer it always gave.
inline int NorvexIsConstUserType(lua_State* state, int index, const char* type, const char* constType, int def,
                                 tolua_Error* error)
{
    return NorvexIsExactUserType(state, index, type) ? 1 : tolua_isusertype(state, index, constType, def, error);
}

// The library's test of an argument of class `type`, with objects of exactly that class answered here.
inline int NorvexIsUserType(lua_State* state, int index, const char* type, int def, tolua_Error* error)
{
    return NorvexIsExactUserType(state, index, type) ? 1 : tolua_isusertype(state, index, type, def, error);
}

// The object an argument holds. Any userdata, full or light, holds the object's address in its first
// word, as the library reads it; the library answers for everything else (none, nil, tables).
inline void* NorvexToUserType(lua_State* state, int index, void* def)
{
    void* const box = lua_touserdata(state, index);
    return box != nullptr ? *static_cast<void**>(box) : tolua_tousertype(state, index, def);
}

// Whether nothing is passed at `index` or after it; the library fills in the error otherwise.
inline int NorvexIsNoObject(lua_State* state, int index, tolua_Error* error)
{
    return lua_gettop(state) < std::abs(index) ? 1 : tolua_isnoobj(state, index, error);
}
