// The inline argument tests and object fetches the generated bindings call: a class's own objects
// are answered by the metatable's address once a full test has matched it, everything else gets the
// library's answer and message.
#include "engine/scripting/ScriptTestSupport.h"

#include "core/CoreConfig.h"
#include "engine/EngineTimer.h"
#include "engine/config/GameConfig.h"
#include "scriptapi/ScriptTypeCheck.h"

#include <gtest/gtest.h>
#include <tolua++.h>

#include <string>

namespace
{
class ScriptTypeCheckTest : public ScriptTest
{
protected:
    // Runs a chunk that must fail and returns whether the log holds `message`.
    bool FailsWith(const char* chunk, const char* message)
    {
        m_log.Clear();
        EXPECT_FALSE(gLua.LoadAndCall(chunk, 0)) << chunk;
        EXPECT_EQ(Depth(), 0);
        return m_log.Contains(message);
    }
};

// Each check runs twice: the first round fills the cache, the second reads it. Results show that
// the right object reached the method, overloads show that tests which must fail still do.
TEST_F(ScriptTypeCheckTest, OwnObjectsPassAndOtherArgumentsFailAsBefore)
{
    Run("a = Vector(1, 2, 3, 4) b = Vector(5, 6, 7, 8)");
    for (int round = 0; round < 2; ++round)
    {
        Run("assert(a:Dot3(b) == 38) assert(b:Dot4(a) == 70)");
        Run("local v = Vector(0, 0, 0, 0) v:Set(1, 2, 3, 4) assert(v.x == 1 and v.y == 2 and v.z == 3 and v.w == 4)");
        // Mul(float) and Mul(const Vector&, float) are told apart by the test of argument 2.
        Run("local v = Vector(1, 1, 1, 1) v:Mul(3) assert(v.x == 3 and v.w == 3) "
            "v:Mul(b, 2) assert(v.x == 10 and v.w == 16)");
        lua_getglobal(L(), "a");
        EXPECT_TRUE(NorvexIsExactUserType(L(), -1, "Vector"));
        EXPECT_FALSE(NorvexIsExactUserType(L(), -1, "const Vector"));
        lua_pop(L(), 1);

        EXPECT_TRUE(FailsWith("a:Dot3(gGame)", "argument #2 is 'Game'; 'const Vector' expected."));
        EXPECT_TRUE(FailsWith("Vector.Set(gGame, 1, 2, 3, 4)", "argument #1 is 'Game'; 'Vector' expected."));
        EXPECT_TRUE(FailsWith("a:Dot3({})", "argument #2 is 'table'; 'const Vector' expected."));
        EXPECT_TRUE(FailsWith("a:Dot3(nil)", "argument #2 is 'nil'; 'value' expected."));
        EXPECT_TRUE(FailsWith("gEngineTimer.GetSeconds(a)", "argument #1 is 'Vector'; 'const EngineTimer' expected."));
        // Nothing may follow the last argument.
        EXPECT_TRUE(FailsWith("gEngineTimer:GetSeconds(1)", "argument #2 is 'number'; '[no object]' expected."));
        EXPECT_TRUE(FailsWith("a:Dot3(b, b)", "argument #3 is 'Vector'; '[no object]' expected."));
    }

    gEngineTimer.Reset();
    Run("assert(gEngineTimer:GetSeconds() == 0)");
}

// An object of a derived class is not its base class's own object: the library's walk up the
// classes still accepts it, and a sibling or base object is still refused, whichever came first.
TEST_F(ScriptTypeCheckTest, DerivedObjectsTakeTheLibrarysWalk)
{
    EngineConfig engine;
    GameConfig game;
    CoreConfig core;
    tolua_pushusertype(L(), &engine, "EngineConfig");
    lua_setglobal(L(), "gEngineConfig");
    tolua_pushusertype(L(), &game, "GameConfig");
    lua_setglobal(L(), "gGameConfig");
    tolua_pushusertype(L(), &core, "CoreConfig");
    lua_setglobal(L(), "gCoreConfig");

    for (int round = 0; round < 2; ++round)
    {
        Run("gEngineConfig:BindKey(65, 'engine') gGameConfig:BindKey(66, 'game')");
        Run("assert(gEngineConfig:FindKeyBind(65) == 'engine') assert(gGameConfig:FindKeyBind(66) == 'game')");
        Run("assert(gEngineConfig:FindKeyBind(66) == nil) assert(gGameConfig:FindKeyBind(65) == nil)");
        EXPECT_TRUE(FailsWith("EngineConfig.BindKey(gCoreConfig, 67, 'core')", "argument #1 is 'CoreConfig'; 'EngineConfig' expected."));
        EXPECT_TRUE(FailsWith("EngineConfig.FindKeyBind(gCoreConfig, 65)",
                              "argument #1 is 'CoreConfig'; 'const EngineConfig' expected."));
    }
    // The game's configuration started first now: the order of the first tests does not matter.
    ASSERT_TRUE(gLua.Init());
    tolua_pushusertype(L(), &game, "GameConfig");
    lua_setglobal(L(), "gGameConfig");
    tolua_pushusertype(L(), &engine, "EngineConfig");
    lua_setglobal(L(), "gEngineConfig");
    Run("gGameConfig:BindKey(70, 'g') gEngineConfig:BindKey(71, 'e')");
    Run("assert(gGameConfig:FindKeyBind(70) == 'g') assert(gEngineConfig:FindKeyBind(71) == 'e')");
    EXPECT_EQ(game.FindKeyBind(70), std::string("g"));
    EXPECT_EQ(engine.FindKeyBind(71), std::string("e"));
}
} // namespace
