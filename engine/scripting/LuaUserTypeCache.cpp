#include "engine/scripting/LuaUserTypeCache.h"

#include "engine/scripting/LuaClassIndex.h"

#include <lua.hpp>

const LuaUserTypeCache::ClassRefs* LuaUserTypeCache::Find(lua_State* state, const char* className)
{
    // The text is compared too: the same pointer may hold another name by now.
    if (className == m_lastName && *m_lastKey == className)
        return m_lastRefs;
    auto found = m_classes.find(std::string_view(className));
    if (found == m_classes.end())
    {
        const ClassRefs* const added = Add(state, className);
        if (added == nullptr)
            return nullptr;
        found = m_classes.find(std::string_view(className));
    }
    m_lastName = className;
    m_lastKey = &found->first;
    m_lastRefs = &found->second;
    return m_lastRefs;
}

const LuaUserTypeCache::ClassRefs* LuaUserTypeCache::Add(lua_State* state, const char* className)
{
    luaL_getmetatable(state, className);
    if (!lua_istable(state, -1))
    {
        lua_pop(state, 1);
        return nullptr;
    }
    // The box the library uses: the class's own, else the shared one in the registry.
    lua_pushliteral(state, "tolua_ubox");
    lua_rawget(state, -2);
    if (!lua_istable(state, -1))
    {
        lua_pop(state, 1);
        lua_pushliteral(state, "tolua_ubox");
        lua_rawget(state, LUA_REGISTRYINDEX);
    }
    const int box = lua_istable(state, -1) ? luaL_ref(state, LUA_REGISTRYINDEX) : LUA_NOREF;
    if (box == LUA_NOREF)
        lua_pop(state, 1);
    const void* const address = lua_topointer(state, -1);
    const int metatable = luaL_ref(state, LUA_REGISTRYINDEX);
    return &m_classes.emplace(className, ClassRefs{metatable, box, address}).first->second;
}

bool LuaUserTypeCache::IsKnownClass(lua_State* state, const char* className)
{
    return className != nullptr && Find(state, className) != nullptr;
}

bool LuaUserTypeCache::PushKnown(lua_State* state, void* object, const char* className)
{
    const ClassRefs* const refs = className != nullptr ? Find(state, className) : nullptr;
    if (refs == nullptr || refs->box == LUA_NOREF)
        return false;
    lua_rawgeti(state, LUA_REGISTRYINDEX, refs->box);
    lua_pushlightuserdata(state, object);
    lua_rawget(state, -2);
    bool same = false;
    if (lua_getmetatable(state, -1))
    {
        same = lua_topointer(state, -1) == refs->metatableAddress;
        lua_pop(state, 1);
    }
    if (!same)
    {
        lua_pop(state, 2);
        return false;
    }
    lua_remove(state, -2);
    return true;
}

bool LuaUserTypeCache::PushOwnMethod(lua_State* state, const char* name)
{
    if (m_lastRefs == nullptr || name == nullptr)
        return false;
    // Texts strtod might read as a number go the library's way (its operator[] road).
    if (LuaKeyMayBeNumber(name))
        return false;
    lua_getfenv(state, -1);
    const bool noPeer = lua_rawequal(state, -1, LUA_REGISTRYINDEX) != 0;
    lua_pop(state, 1);
    if (!noPeer)
        return false;
    lua_rawgeti(state, LUA_REGISTRYINDEX, m_lastRefs->metatable);
    lua_pushstring(state, name);
    lua_rawget(state, -2);
    if (lua_isnil(state, -1))
    {
        lua_pop(state, 2);
        return false;
    }
    lua_remove(state, -2);
    return true;
}
