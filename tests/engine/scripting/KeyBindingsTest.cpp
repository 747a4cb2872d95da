#include "ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/config/GameConfig.h"

#include <vector>

namespace
{
class KeyBindingsTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        gGame.RemoveAllKeyBinds();
        for (int set = 0; set < EngineConfig::kControlSetCount; ++set)
            gGameConfig.RemoveAllControls(set);
        ASSERT_TRUE(gLua.RegisterGlobalObject(&gGameConfig, "GameConfig", "gTestConfig"));
        Run("gRuns = {} function Mark(v) table.insert(gRuns, tostring(v)) end");
    }
    void TearDown() override
    {
        gGame.Close();
        gGame.RemoveAllKeyBinds();
        ScriptTest::TearDown();
    }
    std::string Runs()
    {
        Run("gJoined = table.concat(gRuns, ',')");
        return GlobalString("gJoined");
    }
    std::vector<uint32_t> Keys() const
    {
        std::vector<uint32_t> keys;
        for (const KeyBindDef& bind : gGameConfig.GetKeyBinds())
            keys.push_back(bind.m_keyCode);
        return keys;
    }
};

TEST_F(KeyBindingsTest, BindsStaySortedAndNullUnbinds)
{
    Run("gGame:BindKey(70, 'Mark') gGame:BindKey(65, 'Mark') gGame:BindKey(80, 'Mark')");
    EXPECT_EQ(Keys(), (std::vector<uint32_t>{65, 70, 80}));
    Run("gGame:BindKey(65, 'Other') gGame:BindKey(66, nil)");
    EXPECT_STREQ(gGameConfig.FindKeyBind(65), "Other");
    EXPECT_EQ(Keys(), (std::vector<uint32_t>{65, 70, 80}));
    Run("gGame:BindKey(65, nil)");
    EXPECT_EQ(gGameConfig.FindKeyBind(65), nullptr);
    EXPECT_EQ(Keys(), (std::vector<uint32_t>{70, 80}));
}

TEST_F(KeyBindingsTest, BoundKeysRunTheirLinesOncePerFrame)
{
    gGame.BindKey(65, "Mark");
    gGame.BindKey(66, "gAssigned = 5");
    gGame.BindKey(67, "Mark(7)");
    EXPECT_TRUE(gGame.OnKeyDown(65));
    // A second bound key before the frame ran the first is taken and dropped.
    EXPECT_TRUE(gGame.OnKeyDown(67));
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(Runs(), "nil");
    EXPECT_FALSE(gGame.HasPendingKeyBindCommand());

    EXPECT_TRUE(gGame.OnKeyDown(66));
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(GlobalNumber("gAssigned"), 5);
    EXPECT_TRUE(gGame.OnKeyDown(67));
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(Runs(), "nil,7");
    EXPECT_EQ(Depth(), 0);
}

TEST_F(KeyBindingsTest, EmptyCommandTakesTheKeyButRunsNothing)
{
    gGame.BindKey(65, "");
    ASSERT_NE(gGameConfig.FindKeyBind(65), nullptr);
    EXPECT_TRUE(gGame.OnKeyDown(65));
    EXPECT_FALSE(gGame.HasPendingKeyBindCommand());
    EXPECT_FALSE(gGame.OnKeyDown(90));
    EXPECT_FALSE(gGame.HasPendingKeyBindCommand());
}

TEST_F(KeyBindingsTest, LongestLinesGetTheirParenthesesWithoutOverflow)
{
    const std::string name = "F" + std::string(Game::kMaxCommandLength - 1, 'x');
    Run("_G['" + name + "'] = function() gLongCalled = (gLongCalled or 0) + 1 end");
    gGame.BindKey(65, name.c_str());
    EXPECT_TRUE(gGame.OnKeyDown(65));
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(GlobalNumber("gLongCalled"), 1);

    // A longer line is cut to its first 1022 characters.
    EXPECT_TRUE(Game::RunCommandLine((name + "yyyy").c_str()));
    EXPECT_EQ(GlobalNumber("gLongCalled"), 2);
    EXPECT_EQ(Depth(), 0);
}

TEST_F(KeyBindingsTest, ControlSetsFromScriptsAreBoundedAndOnlyZeroToThreeAreSaved)
{
    Run("assert(gTestConfig:SetSecondaryControl(2, 5, 65537)) assert(gTestConfig:GetControlCount(2) == 6)"
        "local p, s = gTestConfig:GetControl(2, 5, 0, 0) assert(p == 0 and s == 65537)"
        "local p0, s0 = gTestConfig:GetControl(2, 4, 0, 0) assert(p0 == 0 and s0 == 0)"
        "assert(not gTestConfig:SetPrimaryControl(5, 0, 1)) assert(not gTestConfig:SetPrimaryControl(-1, 0, 1))"
        "assert(not gTestConfig:SetPrimaryControl(0, -1, 1)) assert(not gTestConfig:SetPrimaryControl(0, 1e9, 1))"
        "local q = gTestConfig:GetControl(7, 3, 9, 9) assert(q == 0)");
    for (int set = 0; set < EngineConfig::kControlSetCount; ++set)
        ASSERT_TRUE(gGameConfig.SetPrimaryControl(set, 1, 100 + uint32_t(set)));

    const size_t size = gGameConfig.SerializeToMemory(nullptr, 0, 0);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> record(size);
    ASSERT_EQ(gGameConfig.SerializeToMemory(record.data(), record.size(), 0), size);
    GameConfig loaded;
    ASSERT_TRUE(loaded.DeserializeFromMemory(record.data(), record.size(), 0));
    for (int set = 0; set < 4; ++set)
    {
        uint32_t primary = 0;
        uint32_t secondary = 0;
        loaded.GetControl(set, 1, primary, secondary);
        EXPECT_EQ(primary, 100u + uint32_t(set)) << set;
    }
    EXPECT_EQ(loaded.GetControlCount(4), 0);
}
} // namespace
