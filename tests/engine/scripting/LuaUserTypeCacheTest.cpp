#include "ScriptTestSupport.h"

#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "engine/config/EngineConfig.h"

#include <cstring>
#include <memory>
#include <string>

namespace
{
class LuaUserTypeCacheTest : public ScriptTest
{
protected:
    void Call(void* object, const char* className, const char* method, int argument)
    {
        gLua.PushInt(argument);
        EXPECT_TRUE(gLua.ExecuteMethod(1, 0, object, className, method)) << className << ":" << method;
        EXPECT_EQ(Depth(), 0);
    }
};

// Calls by name find an object's userdata without the library's box: each object must still get its
// own userdata (also when many objects share the remembered places), the same one while the scripts
// hold it, and the library's answer again once the box has dropped it.
TEST_F(LuaUserTypeCacheTest, EveryObjectKeepsItsOwnUserdataWhenManyShareTheSlots)
{
    constexpr int kTimers = 700;
    auto timers = std::make_unique<EngineTimer[]>(kTimers);
    Run("gMarks = {} gWrong = 0 "
        "function EngineTimer:Mark(i) "
        "  gMarks[i] = gMarks[i] or self "
        "  if not rawequal(gMarks[i], self) or type(self:GetSeconds()) ~= 'number' then gWrong = gWrong + 1 end "
        "end");
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < kTimers; ++i)
            Call(&timers[i], "EngineTimer", "Mark", i);
    EXPECT_EQ(GlobalNumber("gWrong"), 0.0);
    Run("local seen, count = {}, 0 for _, u in pairs(gMarks) do if not seen[u] then seen[u] = true count = count + 1 end end "
        "gDistinct = count");
    EXPECT_EQ(GlobalNumber("gDistinct"), double(kTimers));

    // Pushing by hand hands out the same userdata as the calls did.
    ASSERT_TRUE(gLua.PushUserType(&timers[5], "EngineTimer"));
    lua_getglobal(L(), "gMarks");
    lua_rawgeti(L(), -1, 5);
    EXPECT_TRUE(lua_rawequal(L(), -1, -3));
    lua_pop(L(), 3);
}

TEST_F(LuaUserTypeCacheTest, AnUnregisteredObjectIsMadeAnewAndThenKept)
{
    Run("function Game:Who(n) gSelf = self gN = n end");
    Call(&gGame, "Game", "Who", 1);
    Call(&gGame, "Game", "Who", 2);
    Run("assert(rawequal(gSelf, gGame)) gOld = gSelf");

    // The scripts still hold the old userdata; the object at that address must not be given it.
    gLua.UnregisterObject(&gGame);
    Call(&gGame, "Game", "Who", 3);
    Run("assert(not rawequal(gSelf, gOld)) assert(tolua.type(gSelf) == 'Game') gNew = gSelf");
    Call(&gGame, "Game", "Who", 4);
    Run("assert(rawequal(gSelf, gNew))");
    EXPECT_EQ(GlobalNumber("gN"), 4.0);
    ASSERT_TRUE(gLua.PushObject(&gGame));
    lua_getglobal(L(), "gNew");
    EXPECT_TRUE(lua_rawequal(L(), -1, -2));
    lua_pop(L(), 2);
}

TEST_F(LuaUserTypeCacheTest, ANameBufferReusedForAnotherClassFindsThatClass)
{
    // A caller may build class names in one buffer: the same address holds another name later,
    // here the derived class of the object first called through its base.
    Run("function CoreConfig:Kind() gKind = 'core' end function EngineConfig:Kind() gKind = 'engine' end");
    EngineConfig config;
    char name[16] = "CoreConfig";
    Call(&config, name, "Kind", 0);
    EXPECT_EQ(GlobalString("gKind"), "core");
    std::strcpy(name, "EngineConfig");
    Call(&config, name, "Kind", 0);
    EXPECT_EQ(GlobalString("gKind"), "engine");
}

// The remembered userdata is held weakly, like the library's box: once the scripts drop it the
// collector takes it, and the next call makes a new one for the same address.
TEST_F(LuaUserTypeCacheTest, RememberedUserdataDoesNotOutliveTheScriptsHold)
{
    EngineTimer timer;
    Run("gWeak = setmetatable({}, { __mode = 'v' }) "
        "function EngineTimer:Keep(n) gWeak[1] = self gN = n + self:GetSeconds() end");
    Call(&timer, "EngineTimer", "Keep", 10);
    Call(&timer, "EngineTimer", "Keep", 20);
    EXPECT_EQ(GlobalNumber("gN"), 20.0);
    lua_gc(L(), LUA_GCCOLLECT, 0);
    Run("gGone = gWeak[1] == nil");
    lua_getglobal(L(), "gGone");
    EXPECT_TRUE(lua_toboolean(L(), -1));
    lua_pop(L(), 1);

    Call(&timer, "EngineTimer", "Keep", 30);
    EXPECT_EQ(GlobalNumber("gN"), 30.0);
    Run("assert(gWeak[1] ~= nil and tolua.type(gWeak[1]) == 'EngineTimer')");
}

// Members found without the library: a redefined or removed method, a member that is no function,
// a peer table set on an object already remembered, and a new state.
TEST_F(LuaUserTypeCacheTest, MemberLookupsFollowTheScriptsChanges)
{
    Run("function Game:Step(n) gSeen = 'one' .. n end");
    Call(&gGame, "Game", "Step", 1);
    EXPECT_EQ(GlobalString("gSeen"), "one1");
    Run("function Game:Step(n) gSeen = 'two' .. n end");
    Call(&gGame, "Game", "Step", 2);
    EXPECT_EQ(GlobalString("gSeen"), "two2");

    Run("tolua.setpeer(gGame, { Step = function(self, n) gSeen = 'peer' .. n end })");
    Call(&gGame, "Game", "Step", 3);
    EXPECT_EQ(GlobalString("gSeen"), "peer3");
    Run("tolua.setpeer(gGame, nil)");
    Call(&gGame, "Game", "Step", 4);
    EXPECT_EQ(GlobalString("gSeen"), "two4");

    Run("Game.Step = 'text'");
    m_log.Clear();
    gLua.PushInt(5);
    EXPECT_FALSE(gLua.ExecuteMethod(1, 0, &gGame, "Game", "Step"));
    EXPECT_TRUE(m_log.Contains("Variable \"Step\" is not function but string in Game class", CONSOLE_ERROR));
    Run("Game.Step = nil");
    gLua.PushInt(6);
    EXPECT_FALSE(gLua.ExecuteMethod(1, 0, &gGame, "Game", "Step"));
    EXPECT_TRUE(m_log.Contains("Variable \"Step\" is not function but nil in Game class", CONSOLE_ERROR));
    EXPECT_EQ(Depth(), 0);

    gLua.Close();
    ASSERT_TRUE(gLua.Init());
    Run("function Game:Step(n) gSeen = tostring(rawequal(self, gGame)) .. n end");
    Call(&gGame, "Game", "Step", 7);
    EXPECT_EQ(GlobalString("gSeen"), "true7");
}

// With a message handler the call's stack holds the handler below the function: arguments,
// results (also all of them) and errors must come out as without one, and the handler must go.
TEST_F(LuaUserTypeCacheTest, HandlerStaysOutOfArgumentsAndResults)
{
    Run("function _ERRORMESSAGE(m) gHandled = m return m end "
        "function Game:Swap(a, b) return b, a, self == gGame end "
        "function Game:Boom(a) error('boom ' .. a) end");
    m_log.Clear();
    lua_pushstring(L(), "below");
    gLua.PushInt(1);
    gLua.PushString("two");
    ASSERT_TRUE(gLua.ExecuteMethod(2, 3, &gGame, "Game", "Swap"));
    ASSERT_EQ(Depth(), 4);
    EXPECT_STREQ(lua_tostring(L(), 1), "below");
    EXPECT_STREQ(lua_tostring(L(), 2), "two");
    EXPECT_EQ(lua_tonumber(L(), 3), 1.0);
    EXPECT_TRUE(lua_toboolean(L(), 4));
    lua_settop(L(), 1);

    gLua.PushInt(7);
    EXPECT_FALSE(gLua.ExecuteMethod(1, 2, &gGame, "Game", "Boom"));
    EXPECT_EQ(Depth(), 1);
    EXPECT_NE(GlobalString("gHandled").find("boom 7"), std::string::npos);
    EXPECT_TRUE(m_log.Contains("LUA: error in 'Boom'", CONSOLE_ERROR));
    EXPECT_FALSE(m_log.Contains("Lua msg:"));

    ASSERT_TRUE(gLua.LoadAndCall("return 'a', 'b', 'c'", LUA_MULTRET));
    ASSERT_EQ(Depth(), 4);
    EXPECT_STREQ(lua_tostring(L(), 1), "below");
    EXPECT_STREQ(lua_tostring(L(), 2), "a");
    EXPECT_STREQ(lua_tostring(L(), 4), "c");
    lua_settop(L(), 0);
}
} // namespace
