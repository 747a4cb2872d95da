#include "engine/scripting/LuaClassIndex.h"

#include <lua.hpp>

#include <cctype>

namespace
{
// Texts that start with a letter other than i or n, or with an underscore, are never numbers.
bool IsPlainName(char first)
{
    const char lower = char(first | 0x20);
    return (lower >= 'a' && lower <= 'z' && lower != 'i' && lower != 'n') || first == '_';
}

// Whether the library would take the key as a number (its lua_isnumber test), converting only keys
// that may be numbers.
bool IsNumericKey(lua_State* state, int keyIndex)
{
    const int type = lua_type(state, keyIndex);
    if (type == LUA_TNUMBER)
        return true;
    if (type != LUA_TSTRING)
        return false;
    return LuaKeyMayBeNumber(lua_tostring(state, keyIndex)) && lua_isnumber(state, keyIndex);
}

bool LowerIs(char c, char lower)
{
    return c == lower || c == char(lower - 'a' + 'A');
}
} // namespace

bool LuaKeyMayBeNumber(const char* text)
{
    // Most keys are names: the first letter settles it without the blank test.
    if (IsPlainName(*text))
        return false;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const char c = *text;
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')
        return true;
    return (LowerIs(c, 'i') && LowerIs(text[1], 'n') && LowerIs(text[2], 'f')) ||
           (LowerIs(c, 'n') && LowerIs(text[1], 'a') && LowerIs(text[2], 'n'));
}

namespace
{
// Upvalue 1: the library's event. The common case first: no peer table, the key in the object's
// own class, and a key that is a plain name (a string the library could never take as a number,
// which it looks up by name). Anything else takes the whole walk. A C function's result is the top
// of its stack, so nothing is tidied.
int ClassIndexEvent(lua_State* state)
{
    if (lua_type(state, 1) == LUA_TUSERDATA)
    {
        lua_getfenv(state, 1);
        // object, key, environment, metatable, member
        if (lua_rawequal(state, 3, LUA_REGISTRYINDEX) && lua_getmetatable(state, 1))
        {
            lua_pushvalue(state, 2);
            lua_rawget(state, 4);
            if (lua_type(state, 5) != LUA_TNIL && lua_type(state, 2) == LUA_TSTRING &&
                IsPlainName(*lua_tostring(state, 2)))
                return 1;
        }
        lua_settop(state, 2);
        if (LuaFindClassMember(state, 1, 2))
            return 1;
    }
    lua_settop(state, 2);
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_insert(state, 1);
    lua_call(state, 2, 1);
    return 1;
}
} // namespace

bool LuaFindClassMember(lua_State* state, int objectIndex, int keyIndex)
{
    objectIndex = objectIndex < 0 ? lua_gettop(state) + objectIndex + 1 : objectIndex;
    keyIndex = keyIndex < 0 ? lua_gettop(state) + keyIndex + 1 : keyIndex;
    if (lua_type(state, objectIndex) != LUA_TUSERDATA || IsNumericKey(state, keyIndex))
        return false;
    const int top = lua_gettop(state);
    // The peer table, looked up as the library does (not raw); no peer is the registry.
    lua_getfenv(state, objectIndex);
    if (!lua_rawequal(state, -1, LUA_REGISTRYINDEX))
    {
        lua_pushvalue(state, keyIndex);
        lua_gettable(state, -2);
        if (!lua_isnil(state, -1))
        {
            lua_replace(state, top + 1);
            lua_settop(state, top + 1);
            return true;
        }
        lua_pop(state, 1);
    }
    lua_pop(state, 1);
    lua_pushvalue(state, objectIndex);
    while (lua_getmetatable(state, -1))
    {
        lua_remove(state, -2);
        lua_pushvalue(state, keyIndex);
        lua_rawget(state, -2);
        if (!lua_isnil(state, -1))
        {
            lua_replace(state, top + 1);
            lua_settop(state, top + 1);
            return true;
        }
        lua_pop(state, 1);
        // A C++ variable of that name: the library's event reads it.
        lua_pushliteral(state, ".get");
        lua_rawget(state, -2);
        if (lua_istable(state, -1))
        {
            lua_pushvalue(state, keyIndex);
            lua_rawget(state, -2);
            const bool variable = !lua_isnil(state, -1);
            lua_pop(state, 1);
            if (variable)
            {
                lua_settop(state, top);
                return false;
            }
        }
        lua_pop(state, 1);
    }
    lua_settop(state, top);
    lua_pushnil(state);
    return true;
}

void LuaSpeedUpClassIndex(lua_State* state)
{
    const int top = lua_gettop(state);
    luaL_getmetatable(state, "LuaBaseClass");
    if (!lua_istable(state, -1))
    {
        lua_settop(state, top);
        return;
    }
    lua_getfield(state, -1, "__index");
    // Once sped up, the library's event is the fallback kept in our event's closure.
    if (lua_tocfunction(state, -1) == &ClassIndexEvent)
        lua_getupvalue(state, -1, 1);
    const lua_CFunction libraryEvent = lua_tocfunction(state, -1);
    const int original = lua_gettop(state);
    if (libraryEvent == nullptr)
    {
        lua_settop(state, top);
        return;
    }
    LuaReplaceClassEvent(state, "__index", original, &ClassIndexEvent);
    lua_settop(state, top);
}

void LuaReplaceClassEvent(lua_State* state, const char* eventName, int libraryEventIndex, lua_CFunction replacement)
{
    const int top = lua_gettop(state);
    const lua_CFunction libraryEvent = lua_tocfunction(state, libraryEventIndex);
    lua_pushnil(state);
    while (lua_next(state, LUA_REGISTRYINDEX) != 0)
    {
        if (lua_istable(state, -1))
        {
            lua_getfield(state, -1, eventName);
            if (lua_tocfunction(state, -1) == libraryEvent)
            {
                lua_pushvalue(state, libraryEventIndex);
                lua_pushcclosure(state, replacement, 1);
                lua_setfield(state, -3, eventName);
            }
            lua_pop(state, 1);
        }
        lua_pop(state, 1);
    }
    lua_settop(state, top);
}
