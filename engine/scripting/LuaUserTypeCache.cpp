#include "engine/scripting/LuaUserTypeCache.h"

#include "engine/scripting/LuaClassIndex.h"

#include <lua.hpp>

#include <cstdint>

namespace
{
// The names compared here are a few letters long: a loop beats the library call.
bool SameText(const std::string& kept, const char* text)
{
    const char* at = kept.c_str();
    for (; *at == *text; ++at, ++text)
        if (*at == 0)
            return true;
    return false;
}
} // namespace

const LuaUserTypeCache::ClassRefs* LuaUserTypeCache::Find(lua_State* state, const char* className)
{
    // The text is compared too: the same pointer may hold another name by now.
    if (className == m_lastName && SameText(*m_lastKey, className))
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
    return PushKnownMethod(state, object, className, nullptr) != PUSHED_NOTHING;
}

const LuaUserTypeCache::MethodKey& LuaUserTypeCache::FindMethodKey(lua_State* state, const char* name)
{
    MethodKey& key = m_methodKeys[(reinterpret_cast<uintptr_t>(name) >> 3) % kMethodKeys];
    if (key.pointer == name && SameText(key.text, name))
        return key;
    if (key.ref != LUA_NOREF)
        luaL_unref(state, LUA_REGISTRYINDEX, key.ref);
    lua_pushstring(state, name);
    key.ref = luaL_ref(state, LUA_REGISTRYINDEX);
    key.pointer = name;
    key.text = name;
    // Texts strtod might read as a number go the library's way (its operator[] road).
    key.mayBeNumber = LuaKeyMayBeNumber(name);
    return key;
}

LuaUserTypeCache::Pushed LuaUserTypeCache::PushKnownMethod(lua_State* state, void* object, const char* className,
                                                           const char* name)
{
    const ClassRefs* const refs = className != nullptr ? Find(state, className) : nullptr;
    if (refs == nullptr || refs->box == LUA_NOREF)
        return PUSHED_NOTHING;
    lua_rawgeti(state, LUA_REGISTRYINDEX, refs->box);
    lua_pushlightuserdata(state, object);
    lua_rawget(state, -2);
    // box, object, its metatable
    const bool hasMetatable = lua_getmetatable(state, -1) != 0;
    if (!hasMetatable || lua_topointer(state, -1) != refs->metatableAddress)
    {
        lua_pop(state, hasMetatable ? 3 : 2);
        return PUSHED_NOTHING;
    }
    const MethodKey* const key = name != nullptr ? &FindMethodKey(state, name) : nullptr;
    if (key != nullptr && !key->mayBeNumber)
    {
        lua_getfenv(state, -2);
        if (lua_rawequal(state, -1, LUA_REGISTRYINDEX))
        {
            lua_rawgeti(state, LUA_REGISTRYINDEX, key->ref);
            lua_rawget(state, -3);
            // box, object, metatable, environment, member
            if (!lua_isnil(state, -1))
            {
                lua_replace(state, -5);
                lua_pop(state, 2);
                return PUSHED_METHOD_AND_OBJECT;
            }
            lua_pop(state, 1);
        }
        lua_pop(state, 1);
    }
    lua_pop(state, 1);
    lua_remove(state, -2);
    return PUSHED_OBJECT;
}
