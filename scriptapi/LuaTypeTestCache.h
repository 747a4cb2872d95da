// The class metatables that the bindings' argument tests have matched by name in one Lua state, so
// that the next test of an object of that class compares one address instead of looking its name
// up in the registry. Main thread (the Lua state's).
#pragma once

#include "scriptapi/ScriptApi.h"

#include <lua.hpp>

#include <cstddef>
#include <cstdint>

// Per state: a class name (by the address of the bindings' literal) and the metatable registered
// under it, as the last full test found them.
class LuaTypeTestCache
{
public:
    // The cache the state was made with (its allocator's user data), or null for a state made
    // without one.
    static LuaTypeTestCache* Of(lua_State* state)
    {
        void* userData = nullptr;
        return lua_getallocf(state, &userData) == &LuaEngineAlloc ? static_cast<LuaTypeTestCache*>(userData)
                                                                   : nullptr;
    }

    // Whether a full test found `metatable` registered as `type`. `type` must be text that stays
    // at its address, unchanged, while the state lives (the bindings pass literals).
    bool Knows(const char* type, const void* metatable) const
    {
        const Entry& entry = m_entries[Slot(type)];
        return entry.type == type && entry.metatable == metatable;
    }
    // Remembers the metatable at `metatableIndex`, which a full test found registered as `type`.
    // A registry reference holds it, so its address cannot be taken by another table while
    // remembered.
    void Remember(lua_State* state, const char* type, int metatableIndex);
    // Forgets everything; for a closed state, whose references went with it.
    void Clear();

private:
    struct Entry
    {
        const char* type = nullptr;
        const void* metatable = nullptr;
        int reference = LUA_NOREF;
    };
    static constexpr size_t kSlotBits = 8;
    static size_t Slot(const char* type)
    {
        return size_t((uint64_t(uintptr_t(type)) * 0x9E3779B97F4A7C15ull) >> (64 - kSlotBits));
    }

    Entry m_entries[size_t(1) << kSlotBits];
};
