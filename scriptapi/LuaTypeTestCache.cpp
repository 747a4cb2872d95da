#include "scriptapi/LuaTypeTestCache.h"

void LuaTypeTestCache::Remember(lua_State* state, const char* type, int metatableIndex)
{
    const void* const metatable = lua_topointer(state, metatableIndex);
    lua_pushvalue(state, metatableIndex);
    const int reference = luaL_ref(state, LUA_REGISTRYINDEX);
    Entry& entry = m_entries[Slot(type)];
    // Whatever held the slot before gives way, and its metatable is no longer held here.
    if (entry.reference != LUA_NOREF)
        luaL_unref(state, LUA_REGISTRYINDEX, entry.reference);
    entry = Entry{type, metatable, reference};
}

void LuaTypeTestCache::Clear()
{
    for (Entry& entry : m_entries)
        entry = Entry{};
}
