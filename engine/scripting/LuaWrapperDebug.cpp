// The wrapper's stack dump: every active function and its locals, as console warnings.
#include "engine/scripting/LuaWrapper.h"

#include "core/console/GameConsole.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <lua.hpp>
#include <tolua++.h>

#include <cstdio>

namespace
{
// The value on top of the stack as text, for the dump.
void DescribeValue(lua_State* state, char* out, size_t size)
{
    tolua_Error error;
    // The library's type tests need an absolute index.
    const int index = lua_gettop(state);
    const int type = lua_type(state, index);
    if (type == LUA_TNUMBER || type == LUA_TSTRING)
        std::snprintf(out, size, "%s", lua_tostring(state, -1));
    else if (type == LUA_TBOOLEAN)
        std::snprintf(out, size, "%s", lua_toboolean(state, -1) ? "true" : "false");
    else if (type == LUA_TUSERDATA && tolua_isusertype(state, index, "Vector", 0, &error))
    {
        const Vector* v = static_cast<const Vector*>(tolua_tousertype(state, index, nullptr));
        std::snprintf(out, size, "[%f %f %f %f]", v->x, v->y, v->z, v->w);
    }
    else if (type == LUA_TUSERDATA && tolua_isusertype(state, index, "Matrix", 0, &error))
    {
        const Matrix* m = static_cast<const Matrix*>(tolua_tousertype(state, index, nullptr));
        const Vector* r = &m->rows[0];
        std::snprintf(out, size, "[%f %f %f %f],[%f %f %f %f],[%f %f %f %f],[%f %f %f %f]", r[0].x, r[0].y, r[0].z,
                      r[0].w, r[1].x, r[1].y, r[1].z, r[1].w, r[2].x, r[2].y, r[2].z, r[2].w, r[3].x, r[3].y, r[3].z,
                      r[3].w);
    }
    else
        std::snprintf(out, size, "<unsupported yet>");
}
} // namespace

void LuaWrapper::DumpLuaStackToConsole()
{
    if (m_state == nullptr)
        return;
    gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_SCRIPT, "Lua stack dump:");
    lua_Debug info;
    for (int level = 0; lua_getstack(m_state, level, &info) != 0; ++level)
    {
        lua_getinfo(m_state, "Sln", &info);
        gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_SCRIPT, "(%d) %s: %s:%s %s [line: %d] [defined: %d]", level, info.what,
                        info.namewhat, info.short_src, info.name != nullptr ? info.name : "?", info.currentline,
                        info.linedefined);
        for (int local = 1;; ++local)
        {
            const char* name = lua_getlocal(m_state, &info, local);
            if (name == nullptr)
                break;
            // Read the type first: turning a number into text changes the copy's type.
            const char* typeName = luaL_typename(m_state, -1);
            char value[512];
            DescribeValue(m_state, value, sizeof(value));
            gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_SCRIPT, "\t(%d) %s - type %s - value %s", local, name, typeName,
                            value);
            lua_pop(m_state, 1);
        }
    }
}
