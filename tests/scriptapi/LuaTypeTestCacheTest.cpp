// The per-state memory of class metatables matched by the bindings' type tests: found through the
// state's allocator, keyed by the address of the class name, holding each remembered metatable so
// that its address cannot pass to another table, and letting go when its slot is taken.
#include "engine/scripting/ScriptTestSupport.h"
#include "scriptapi/LuaTypeTestCache.h"
#include "scriptapi/ScriptApi.h"

#include <gtest/gtest.h>
#include <lua.hpp>
#include <tolua++.h>

#include <vector>

namespace
{
class LuaTypeTestCacheTest : public ScriptTest
{
};

// A bare state with its own cache and a weak table (global "held") that shows whether anything
// still holds the tables put in it.
struct CachedState
{
    CachedState() : state(lua_newstate(&LuaEngineAlloc, &cache))
    {
        luaL_openlibs(state);
        luaL_dostring(state, "held = setmetatable({}, { __mode = 'v' })");
    }
    ~CachedState() { lua_close(state); }
    // Leaves a new table on the stack, also kept weakly as held[key].
    const void* PushTable(const char* key)
    {
        lua_newtable(state);
        lua_getglobal(state, "held");
        lua_pushvalue(state, -2);
        lua_setfield(state, -2, key);
        lua_pop(state, 1);
        return lua_topointer(state, -1);
    }
    bool IsHeld(const char* key)
    {
        lua_gc(state, LUA_GCCOLLECT, 0);
        lua_getglobal(state, "held");
        lua_getfield(state, -1, key);
        const bool held = !lua_isnil(state, -1);
        lua_pop(state, 2);
        return held;
    }
    LuaTypeTestCache cache;
    lua_State* state;
};

TEST_F(LuaTypeTestCacheTest, OnlyStatesMadeWithACacheHaveOne)
{
    EXPECT_NE(LuaTypeTestCache::Of(L()), nullptr);
    CachedState cached;
    EXPECT_EQ(LuaTypeTestCache::Of(cached.state), &cached.cache);
    lua_State* const plain = luaL_newstate();
    EXPECT_EQ(LuaTypeTestCache::Of(plain), nullptr);

    // The bindings work the library's way there, right and wrong objects alike.
    luaL_openlibs(plain);
    tolua_open(plain);
    OpenScriptPackages(plain);
    EXPECT_EQ(luaL_dostring(plain, "a = Vector(1, 2, 3, 4) assert(a:Dot3(a) == 14) a:Set(0, 0, 0, 5) "
                                   "assert(a:Dot4(a) == 25)"),
              0);
    EXPECT_NE(luaL_dostring(plain, "a:Dot3({})"), 0);
    lua_close(plain);

    // Another allocator's user data is not taken for a cache.
    int other = 0;
    const lua_Alloc alloc = [](void*, void* block, size_t, size_t bytes) -> void* {
        return bytes != 0 ? realloc(block, bytes) : (free(block), nullptr);
    };
    lua_State* const foreign = lua_newstate(alloc, &other);
    EXPECT_EQ(LuaTypeTestCache::Of(foreign), nullptr);
    lua_close(foreign);
}

TEST_F(LuaTypeTestCacheTest, KnowsTheNameByAddressAndTheMetatableItWasShown)
{
    CachedState cached;
    static const char kName[] = "Thing";
    const char copy[] = "Thing";
    const void* const first = cached.PushTable("first");
    const void* const second = cached.PushTable("second");
    EXPECT_FALSE(cached.cache.Knows(kName, first));
    // A slot's first name releases nothing: references freed earlier stay free for reuse.
    int freed[2];
    for (int& reference : freed)
        reference = (lua_newtable(cached.state), luaL_ref(cached.state, LUA_REGISTRYINDEX));
    for (int reference : freed)
        luaL_unref(cached.state, LUA_REGISTRYINDEX, reference);
    cached.cache.Remember(cached.state, kName, -2);
    EXPECT_EQ(lua_gettop(cached.state), 2);
    EXPECT_EQ((lua_newtable(cached.state), luaL_ref(cached.state, LUA_REGISTRYINDEX)), freed[0]);
    EXPECT_TRUE(cached.cache.Knows(kName, first));
    EXPECT_FALSE(cached.cache.Knows(kName, second));
    EXPECT_FALSE(cached.cache.Knows(copy, first));
    lua_settop(cached.state, 0);

    // Held while remembered, even with nothing else left holding it.
    EXPECT_TRUE(cached.IsHeld("first"));
    EXPECT_FALSE(cached.IsHeld("second"));

    cached.cache.Clear();
    EXPECT_FALSE(cached.cache.Knows(kName, first));
}

TEST_F(LuaTypeTestCacheTest, ANameTakingTheSlotReleasesTheMetatableBefore)
{
    CachedState cached;
    static const char kName[] = "Thing";
    const void* const first = cached.PushTable("first");
    cached.cache.Remember(cached.state, kName, -1);
    const void* const other = cached.PushTable("other");
    // Names at other addresses until one lands in the same slot and pushes "Thing" out.
    std::vector<char> names(1 << 16, 'x');
    const char* taker = nullptr;
    for (size_t at = 0; at + 1 < names.size() && taker == nullptr; ++at)
    {
        cached.cache.Remember(cached.state, &names[at], -1);
        if (!cached.cache.Knows(kName, first))
            taker = &names[at];
    }
    ASSERT_NE(taker, nullptr);
    EXPECT_TRUE(cached.cache.Knows(taker, other));
    EXPECT_FALSE(cached.cache.Knows(kName, other));
    lua_settop(cached.state, 0);
    EXPECT_FALSE(cached.IsHeld("first"));
    EXPECT_TRUE(cached.IsHeld("other"));
}

// A new state starts with nothing known: the old state's addresses may be reused by any table.
TEST_F(LuaTypeTestCacheTest, ANewStateForgetsTheOldOnesMetatables)
{
    static const char kName[] = "Thing";
    LuaTypeTestCache* const cache = LuaTypeTestCache::Of(L());
    ASSERT_NE(cache, nullptr);
    lua_newtable(L());
    const void* const table = lua_topointer(L(), -1);
    cache->Remember(L(), kName, -1);
    lua_pop(L(), 1);
    EXPECT_TRUE(cache->Knows(kName, table));
    ASSERT_TRUE(gLua.Init());
    EXPECT_EQ(LuaTypeTestCache::Of(L()), cache);
    EXPECT_FALSE(cache->Knows(kName, table));
}
} // namespace
