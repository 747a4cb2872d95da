#include "ScriptTestSupport.h"

#include "core/CoreConfig.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"

#include <tolua++.h>

#include <cstdio>
#include <string>

namespace
{
class LuaClassIndexTest : public ScriptTest
{
protected:
    // Calls Game:<method>() on gGame through the wrapper and returns the global `gSeen`.
    std::string CallOnGame(const char* method)
    {
        Run("gSeen = nil");
        EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", method)) << method;
        EXPECT_EQ(Depth(), 0);
        return GlobalString("gSeen");
    }
};

// What the direct lookup answers must be what the library's event would: the object's peer table
// before its class, the class before its bases, bases when the class lacks the name.
TEST_F(LuaClassIndexTest, PeerTableThenClassThenBases)
{
    Run("function LuaBaseClass:FromBase() gSeen = 'base' end "
        "function Game:Both() gSeen = 'class' end "
        "function LuaBaseClass:Both() gSeen = 'base' end");
    EXPECT_EQ(CallOnGame("Both"), "class");
    EXPECT_EQ(CallOnGame("FromBase"), "base");
    Run("assert(gGame:GetScriptClassName() == 'Game')");

    Run("tolua.setpeer(gGame, { Both = function() gSeen = 'peer' end })");
    EXPECT_EQ(CallOnGame("Both"), "peer");
    EXPECT_EQ(CallOnGame("FromBase"), "base");
    Run("local s = '' gGame:Both() s = gSeen gGame:FromBase() assert(s == 'peer' and gSeen == 'base')");
    Run("tolua.setpeer(gGame, nil)");
    EXPECT_EQ(CallOnGame("Both"), "class");

    // Redefining a method is seen at once: nothing is cached by name.
    Run("function Game:Both() gSeen = 'again' end");
    EXPECT_EQ(CallOnGame("Both"), "again");
}

TEST_F(LuaClassIndexTest, VariablesNumbersAndMissingNamesGoTheLibrarysWay)
{
    CoreConfig config;
    config.m_breakOnAssert = true;
    tolua_pushusertype(L(), &config, "CoreConfig");
    lua_setglobal(L(), "gConfig");
    Run("assert(gConfig.breakOnAssert == true) assert(gConfig.connectToExternalConsole == false)");
    Run("assert(gGame.NoSuchName == nil) assert(gGame[1] == nil) assert(gGame['2'] == nil)");
    Run("function Game:nanny() return 'n' end assert(gGame:nanny() == 'n')");

    EXPECT_FALSE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "NoSuchMethod"));
    EXPECT_TRUE(m_log.Contains("Variable \"NoSuchMethod\" is not function but nil in Game class", CONSOLE_ERROR));
    EXPECT_EQ(Depth(), 0);
}

// Only keys the library looks up by name come straight from the class: never one it could read as
// a number, whatever its case, spacing or sign; names, underscores and keys of other types do.
TEST_F(LuaClassIndexTest, KeysTheLibraryReadsAsNumbersNeverComeFromTheClass)
{
    Run("Game.inf = 1 Game.INF = 2 Game.nan = 3 Game['7'] = 4 Game[' 8'] = 5 Game['-1'] = 6 Game['.5'] = 7 "
        "Game[9] = 8");
    Run("assert(gGame.inf == nil and gGame.INF == nil and gGame.nan == nil and gGame['7'] == nil)");
    Run("assert(gGame[' 8'] == nil and gGame['-1'] == nil and gGame['.5'] == nil and gGame[9] == nil)");
    Run("Game.info = 9 Game.Name = 10 Game._hidden = 11 Game.zeta = 12 Game.Zulu = 13 Game.ant = 14");
    Run("assert(gGame.info == 9 and gGame.Name == 10 and gGame._hidden == 11)");
    Run("assert(gGame.zeta == 12 and gGame.Zulu == 13 and gGame.ant == 14)");
    Run("Game[true] = 'yes' local key = {} Game[key] = 'table' assert(gGame[true] == 'yes' and gGame[key] == 'table')");

    // A peer table is looked at on every lookup, so changes to it count at once.
    Run("function Game:Own() return 'class' end local peer = {} tolua.setpeer(gGame, peer) "
        "assert(gGame:Own() == 'class') peer.Own = function() return 'peer' end assert(gGame:Own() == 'peer') "
        "peer.Own = nil assert(gGame:Own() == 'class') tolua.setpeer(gGame, nil)");
    EXPECT_EQ(Depth(), 0);
}

// The bound const methods accept objects pushed as the class and as its const form, and still
// refuse anything else.
TEST_F(LuaClassIndexTest, ConstMethodsTakeBothFormsAndRefuseOtherTypes)
{
    Run("assert(type(gEngineTimer:GetSeconds()) == 'number')");
    tolua_pushusertype(L(), &gEngineTimer, "const EngineTimer");
    lua_setglobal(L(), "gConstTimer");
    Run("assert(type(gConstTimer:GetSeconds()) == 'number')");
    Run("assert(gGame:IsActive() ~= nil)");
    EXPECT_FALSE(gLua.LoadAndCall("gEngineTimer.GetSeconds(gGame)", 0));
    EXPECT_TRUE(m_log.Contains("argument #1 is 'Game'; 'const EngineTimer' expected."));
    EXPECT_FALSE(gLua.LoadAndCall("gEngineTimer.GetSeconds({})", 0));
    EXPECT_EQ(Depth(), 0);
}

// A pushed object is the same userdata every time while the scripts hold it, and one that was
// unregistered is made anew.
TEST_F(LuaClassIndexTest, PushedObjectsKeepTheirIdentity)
{
    ASSERT_TRUE(gLua.PushUserType(&gGame, "Game"));
    lua_getglobal(L(), "gGame");
    EXPECT_TRUE(lua_rawequal(L(), -1, -2));
    lua_pop(L(), 2);
    Run("gKept = gGame");
    gLua.UnregisterObject(&gGame);
    ASSERT_TRUE(gLua.PushUserType(&gGame, "Game"));
    lua_getglobal(L(), "gKept");
    EXPECT_FALSE(lua_rawequal(L(), -1, -2));
    lua_pop(L(), 2);
    EXPECT_FALSE(gLua.PushUserType(&gGame, "NoSuchClass"));
    EXPECT_EQ(Depth(), 0);
}
} // namespace

namespace
{
// Method names are kept as Lua strings found by the caller's pointer: a buffer that now holds
// another name, many names sharing the slots, a name that reads as a number, a value that is not a
// function, and a new state must each still find what the library's lookup finds.
TEST_F(LuaClassIndexTest, MethodNamesFoundByPointerFollowTheirText)
{
    Run("function Game:First() gSeen = 'first' end function Game:Other() gSeen = 'other' end "
        "Game['7'] = function() gSeen = 'seven' end");
    char name[16] = "First";
    EXPECT_EQ(CallOnGame(name), "first");
    std::snprintf(name, sizeof(name), "Other");
    EXPECT_EQ(CallOnGame(name), "other");
    // Names eight bytes apart take neighbouring key slots: each still finds its own method.
    alignas(16) static const char kNeighbours[2][8] = {"First", "Other"};
    EXPECT_EQ(CallOnGame(kNeighbours[1]), "other");
    EXPECT_EQ(CallOnGame(kNeighbours[0]), "first");

    // More names than slots: each call finds its own method, before and after the slots turned over.
    Run("for i = 1, 150 do Game['M' .. i] = function() gSeen = 'm' .. i end end");
    for (int round = 0; round < 2; ++round)
    {
        for (int i = 1; i <= 150; ++i)
        {
            std::string method = "M" + std::to_string(i);
            EXPECT_EQ(CallOnGame(method.c_str()), "m" + std::to_string(i));
        }
    }

    // "7" reads as a number: the library's operator[] road, which finds no such operator.
    EXPECT_FALSE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "7"));
    EXPECT_TRUE(m_log.Contains("Variable \"7\" is not function but nil in Game class", CONSOLE_ERROR));
    Run("Game.Data = 5");
    gLua.PushInt(1);
    EXPECT_FALSE(gLua.ExecuteMethod(1, 0, &gGame, "Game", "Data"));
    EXPECT_TRUE(m_log.Contains("Variable \"Data\" is not function but number in Game class", CONSOLE_ERROR));
    EXPECT_EQ(Depth(), 0);

    // Arguments reach the method in order, after self.
    Run("function Game:Sum(a, b) gSeen = tostring(self == gGame) .. (a * 10 + b) end");
    gLua.PushInt(4);
    gLua.PushInt(2);
    ASSERT_TRUE(gLua.ExecuteMethod(2, 0, &gGame, "Game", "Sum"));
    EXPECT_EQ(GlobalString("gSeen"), "true42");

    // A new state knows nothing of the old one's strings.
    gLua.Close();
    ASSERT_TRUE(gLua.Init());
    Run("function Game:First() gSeen = 'new state' end");
    std::snprintf(name, sizeof(name), "First");
    EXPECT_EQ(CallOnGame(name), "new state");
}
} // namespace
