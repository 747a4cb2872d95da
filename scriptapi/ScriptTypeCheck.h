// Type test of const object arguments in the generated bindings (they are rewritten to call it at
// build time). Main thread (the Lua state's).
#pragma once

#include <tolua++.h>

#include <cstring>

// Whether the argument at `index` may be used as a `const type`: the library's own test compares the
// object's class name with "const type" first, which never matches an object pushed as `type`, and so
// always takes its slow inheritance walk. An object of exactly `type` is accepted here; everything
// else gets the library's test, with the same answer it always gave.
inline int NorvexIsConstUserType(lua_State* state, int index, const char* type, const char* constType, int def,
                                 tolua_Error* error)
{
    if (lua_type(state, index) == LUA_TUSERDATA && lua_getmetatable(state, index))
    {
        lua_rawget(state, LUA_REGISTRYINDEX);
        size_t length = 0;
        const char* const name = lua_tolstring(state, -1, &length);
        // `type` is a literal of the generated code: its length is known when this is compiled, so
        // the comparison is a few word compares.
        const size_t typeLength = std::strlen(type);
        const bool same = name != nullptr && length == typeLength && std::memcmp(name, type, typeLength) == 0;
        lua_pop(state, 1);
        if (same)
            return 1;
    }
    return tolua_isusertype(state, index, constType, def, error);
}
