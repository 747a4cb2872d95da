// ctest-labels: thread
#include "engine/scripting/ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/config/ProjectConfig.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "online/MultiplayerEngine.h"
#include "support/RecordingGameDelegate.h"

#include <cstring>

namespace
{
class ScriptGameMethodsTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        gProjectConfig.m_sceneVariations.Clear();
        gProjectConfig.m_sceneVariations.Add(NameString("easy"));
        gGame.Init(&m_delegate);
        m_delegate.calls.clear();
    }
    void TearDown() override
    {
        gGame.Close();
        gProjectConfig.m_sceneVariations.Clear();
        gGlobalScriptScheduler.Clear();
        ScriptTest::TearDown();
    }
    bool Bool(const std::string& expression)
    {
        Run("gResult = " + expression);
        lua_getglobal(L(), "gResult");
        const bool value = lua_toboolean(L(), -1) != 0;
        lua_pop(L(), 1);
        return value;
    }

    RecordingGameDelegate m_delegate;
};
} // namespace

TEST_F(ScriptGameMethodsTest, ScriptsSwitchScenesWithDefaultsAndClampedVariations)
{
    Run("gGame:SwitchScene('Level2')");
    EXPECT_STREQ(gGame.GetPendingSceneName(), "Level2");
    EXPECT_EQ(gGame.GetPendingVariation(), Game::kNoVariation);
    Run("gGame:SwitchScene('Level3', 8, 5)");
    EXPECT_STREQ(gGame.GetPendingSceneName(), "Level3");
    EXPECT_EQ(gGame.GetPendingVariation(), 0) << "one variation: 5 becomes 0";
    gGame.ProcessPendingSceneSwitch();
    EXPECT_TRUE(Bool("gGame:IsLastSwitchedSceneEqual('Level3')"));
    EXPECT_FALSE(Bool("gGame:IsLastSwitchedSceneEqual('Level2')"));
    EXPECT_TRUE(Bool("gGame:GetTickCounter() == 0 and gGame:GetFrameCounter() == 0"));
}

TEST_F(ScriptGameMethodsTest, UserPauseFromScriptsPausesTheFourClocksOnce)
{
    Run("gGame:SetUserPause(true) gGame:SetUserPause(true)");
    for (GameTimer* timer : {&gGame.GetGameTimer(), &gGame.GetGameplayTimer(), &gGame.GetSmoothGameTimer(),
                             &gGame.GetSmoothGameplayTimer()})
        EXPECT_EQ(timer->GetPauseCounter(), 1u);
    Run("gGame:SetUserPause(false)");
    for (GameTimer* timer : {&gGame.GetGameTimer(), &gGame.GetGameplayTimer(), &gGame.GetSmoothGameTimer(),
                             &gGame.GetSmoothGameplayTimer()})
        EXPECT_FALSE(timer->IsPaused());
}

TEST_F(ScriptGameMethodsTest, ScheduledCallsGoToTheClockTheFlagsChooseAndCancelEverywhere)
{
    Run("gGame:ScheduleScriptCall('Later', 1.5, 8) gGame:ScheduleScriptCall('Later', 1.5, 4)");
    ASSERT_EQ(gGlobalScriptScheduler.GetCount(), 1) << "flags 8: the global scheduler";
    ASSERT_EQ(gGame.GetGameplayScheduler()->GetCount(), 1) << "flags 4: the gameplay scheduler";
    Run("gGame:DeleteScriptCalls('Later')");
    for (const ScriptSchedulerHelper* scheduler : {&gGlobalScriptScheduler, gGame.GetGameplayScheduler()})
        for (const ScheduledScriptCall& call : scheduler->GetCalls())
            EXPECT_EQ(call.name, nullptr) << "cancelled";
}

TEST_F(ScriptGameMethodsTest, TheMultiplayerEngineIsPublishedUntilClose)
{
    EXPECT_TRUE(Bool("gMultiplayerEngine ~= nil and gMultiplayerEngine:HasAuthority()"));
    EXPECT_TRUE(Bool("gMultiplayerEngine:IsIdle()"));
    gGame.Close();
    EXPECT_TRUE(Bool("gMultiplayerEngine == nil"));
}

TEST_F(ScriptGameMethodsTest, OutlineMasksAreHexadecimalAndOnlyWholeNumbersCount)
{
    Run("gGame:SetOutlineMaskStr('ff00')");
    EXPECT_EQ(gGame.GetOutlineMask(), 0xFF00u);
    Run("gGame:SetOutlineMaskStr('12zz')");
    EXPECT_EQ(gGame.GetOutlineMask(), 0xFF00u);
    EXPECT_TRUE(m_log.Contains("is not a hexadecimal mask", CONSOLE_WARNING));
    Run("gGame:RevertToDefaultOutlineParams() gGame:OnMainMenuEntered()");
    EXPECT_EQ(m_delegate.Count("OnMainMenuEntered"), 1u);
}
