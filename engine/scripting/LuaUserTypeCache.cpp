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

void LuaUserTypeCache::Open(lua_State* state)
{
    Clear();
    lua_createtable(state, kObjectSlots + kMethodKeys, 0);
    lua_createtable(state, 0, 1);
    lua_pushliteral(state, "v");
    lua_setfield(state, -2, "__mode");
    lua_setmetatable(state, -2);
    m_values = luaL_ref(state, LUA_REGISTRYINDEX);
    m_registry = lua_topointer(state, LUA_REGISTRYINDEX);
}

void LuaUserTypeCache::Clear()
{
    m_classes.clear();
    m_lastName = nullptr;
    m_lastKey = nullptr;
    m_lastRefs = nullptr;
    m_values = LUA_NOREF;
    m_registry = nullptr;
    for (ObjectSlot& slot : m_objects)
        slot = ObjectSlot{};
    for (MethodKey& key : m_methodKeys)
        key = MethodKey{};
}

void LuaUserTypeCache::Forget(const void* object)
{
    ObjectSlot& slot = m_objects[ObjectSlotIndex(object)];
    if (slot.object == object)
        slot = ObjectSlot{};
}

bool LuaUserTypeCache::PushKnown(lua_State* state, void* object, const char* className)
{
    return PushKnownMethod(state, object, className, nullptr) != PUSHED_NOTHING;
}

int LuaUserTypeCache::ObjectSlotIndex(const void* object)
{
    // Objects are at least 8-byte aligned; the higher bits spread neighbours of an array apart.
    const uintptr_t address = reinterpret_cast<uintptr_t>(object);
    return int(((address >> 3) ^ (address >> 11)) & (kObjectSlots - 1));
}

const LuaUserTypeCache::MethodKey& LuaUserTypeCache::FindMethodKey(lua_State* state, const char* name, int valuesIndex,
                                                                   int& keySlot)
{
    const int index = int((reinterpret_cast<uintptr_t>(name) >> 3) % kMethodKeys);
    keySlot = kObjectSlots + 1 + index;
    MethodKey& key = m_methodKeys[index];
    if (key.pointer == name && SameText(key.text, name))
        return key;
    lua_pushstring(state, name);
    lua_rawseti(state, valuesIndex - 1, keySlot);
    key.pointer = name;
    key.text = name;
    // Texts strtod might read as a number go the library's way (its operator[] road).
    key.mayBeNumber = LuaKeyMayBeNumber(name);
    return key;
}

bool LuaUserTypeCache::PushFromBox(lua_State* state, const void* object, int box, int slotIndex)
{
    lua_rawgeti(state, LUA_REGISTRYINDEX, box);
    lua_pushlightuserdata(state, const_cast<void*>(object));
    lua_rawget(state, -2);
    lua_remove(state, -2);
    // values, object
    if (lua_type(state, -1) != LUA_TUSERDATA)
    {
        lua_pop(state, 1);
        return false;
    }
    lua_pushvalue(state, -1);
    lua_rawseti(state, -3, slotIndex + 1);
    m_objects[slotIndex] = ObjectSlot{object, box};
    return true;
}

LuaUserTypeCache::Pushed LuaUserTypeCache::PushKnownMethod(lua_State* state, void* object, const char* className,
                                                           const char* name)
{
    const ClassRefs* const refs = className != nullptr ? Find(state, className) : nullptr;
    if (refs == nullptr || refs->box == LUA_NOREF || m_values == LUA_NOREF)
        return PUSHED_NOTHING;
    const int slotIndex = ObjectSlotIndex(object);
    const ObjectSlot& slot = m_objects[slotIndex];
    lua_rawgeti(state, LUA_REGISTRYINDEX, m_values);
    // values, object, its metatable. A remembered slot holds nil once the collector took the
    // userdata (the box lost it then too), and nil has no metatable.
    bool hasMetatable = false;
    if (slot.object == object && slot.box == refs->box)
    {
        lua_rawgeti(state, -1, slotIndex + 1);
        hasMetatable = lua_getmetatable(state, -1) != 0;
        if (!hasMetatable)
            lua_pop(state, 1);
    }
    if (!hasMetatable)
    {
        if (!PushFromBox(state, object, refs->box, slotIndex))
        {
            lua_pop(state, 1);
            return PUSHED_NOTHING;
        }
        hasMetatable = lua_getmetatable(state, -1) != 0;
    }
    if (!hasMetatable || lua_topointer(state, -1) != refs->metatableAddress)
    {
        lua_pop(state, hasMetatable ? 3 : 2);
        return PUSHED_NOTHING;
    }
    int keySlot = 0;
    const MethodKey* const key = name != nullptr ? &FindMethodKey(state, name, -3, keySlot) : nullptr;
    if (key != nullptr && !key->mayBeNumber)
    {
        lua_getfenv(state, -2);
        if (lua_topointer(state, -1) == m_registry)
        {
            lua_rawgeti(state, -4, keySlot);
            lua_rawget(state, -3);
            // values, object, metatable, environment, member
            if (lua_type(state, -1) == LUA_TFUNCTION)
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
