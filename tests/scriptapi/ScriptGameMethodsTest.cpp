// ctest-labels: thread
#include "engine/scripting/ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/NorvexEngine.h"
#include "engine/config/ProjectConfig.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "online/MultiplayerEngine.h"
#include "platform/os/Shell.h"
#include "support/RecordingGameDelegate.h"
#include "ui/screens/UIScreen.h"

#include <tolua++.h>

#include <utility>

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
    EXPECT_TRUE(Bool("gGame:IsStandaloneBuild()")) << "the game's configuration says so";
}

TEST_F(ScriptGameMethodsTest, ScriptsFlipTheFullScreenEffectSwitchesAndSetTheExtraFlags)
{
    EXPECT_EQ(gGame.GetExtraFSEFlags(), 0u);
    Run("gGame:ToggleFSE()");
    EXPECT_TRUE(gGame.IsFSEOn());
    EXPECT_FALSE(gGame.IsFXAAOn());
    Run("gGame:ToggleFXAA() gGame:ToggleFSE()");
    EXPECT_FALSE(gGame.IsFSEOn());
    EXPECT_TRUE(gGame.IsFXAAOn());
    Run("gGame:SetExtraFSEFlags(NRFSEFLAG_MASSIVEOUTLINEMODE)");
    EXPECT_EQ(gGame.GetExtraFSEFlags(), 2u);
    Run("gGame:ToggleFXAA() gGame:SetExtraFSEFlags(0)");
    EXPECT_FALSE(gGame.IsFXAAOn());
    EXPECT_EQ(gGame.GetExtraFSEFlags(), 0u);
    EXPECT_TRUE(Bool("type(PostprocessManager) == 'table'")) << "the chain's script class is known";
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

TEST_F(ScriptGameMethodsTest, ScriptsReadEachClockInSecondsAndPauseOnlyGameplay)
{
    gGame.GetGameTimer().Tick(1.0f);
    gGame.GetGameplayTimer().Tick(2.0f);
    gGame.GetSmoothGameTimer().Tick(3.0f);
    gGame.GetSmoothGameplayTimer().Tick(4.5f);
    Run("gA, gB, gC, gD = gGame:GetGameTime(), gGame:GetGameplayTime(), gGame:GetSmoothGameTime(), "
        "gGame:GetSmoothGameplayTime()");
    EXPECT_NEAR(GlobalNumber("gA"), 1.0, 1e-6);
    EXPECT_NEAR(GlobalNumber("gB"), 2.0, 1e-6);
    EXPECT_NEAR(GlobalNumber("gC"), 3.0, 1e-6);
    EXPECT_NEAR(GlobalNumber("gD"), 4.5, 1e-6);

    Run("gGame:PauseGameplay(true) gGame:PauseGameplay(true)");
    EXPECT_EQ(gGame.GetGameplayTimer().GetPauseCounter(), 2u);
    EXPECT_FALSE(gGame.GetGameTimer().IsPaused());
    EXPECT_FALSE(gGame.GetSmoothGameplayTimer().IsPaused());
    Run("gGame:PauseGameplay(false)");
    EXPECT_EQ(gGame.GetGameplayTimer().GetPauseCounter(), 1u);

    // The physical world's calls exist and change nothing.
    Run("gGame:ResetPhysicalWorldStub() gGame:EnablePhysicalEffectsFadeOutScalingMode(true)");
}

TEST_F(ScriptGameMethodsTest, TheExternalBrowserGetsTheAddressAndANullIsRefused)
{
    os::ResetShellOpenRequests();
    Run("gOpened = gNorvexEngine:ActivateExternalBrowser('https://example.org/news?id=7')");
    EXPECT_TRUE(Bool("gOpened"));
    ASSERT_EQ(os::GetShellOpenRequests().size(), 1u);
    EXPECT_EQ(os::GetShellOpenRequests()[0], "https://example.org/news?id=7");
    EXPECT_TRUE(m_log.Contains("\"https://example.org/news?id=7\" in the external browser"));
    EXPECT_FALSE(gNorvexEngine.ActivateExternalBrowser(nullptr));
    EXPECT_EQ(os::GetShellOpenRequests().size(), 1u);
    os::ResetShellOpenRequests();
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
    EXPECT_TRUE(Bool("gMultiplayerEngine:GetMode() == MultiplayerEngine.MODE_NONE"));
    EXPECT_TRUE(Bool("MultiplayerEngine.MODE_SERVER == 1 and MultiplayerEngine.MODE_CLIENT == 2"));
    // The main menu's first showing, from scripts, joins the lobby the command line names.
    MultiplayerEngine* const engine = gGame.GetMultiplayerEngine();
    engine->SetCommandLine({"tessarine", "+connect_lobby", "42"});
    Run("gMultiplayerEngine:OnMainMenuShowForTheFirstTime()");
    engine->Flush();
    EXPECT_EQ(engine->GetCommandsReceived(), 1u);
    gGame.Close();
    EXPECT_TRUE(Bool("gMultiplayerEngine == nil"));
}

TEST_F(ScriptGameMethodsTest, OutlineMasksAreHexadecimalAndOnlyWholeNumbersCount)
{
    Run("gGame:SetOutlineMaskStr('ff00')");
    EXPECT_EQ(gGame.GetOutlineMask(), 0xFF00u);
    Run("gGame:SetOutlineMaskStr('12zz') gGame:SetOutlineMaskStr('100000000') gGame:SetOutlineMaskStr('-0')");
    EXPECT_EQ(gGame.GetOutlineMask(), 0xFF00u) << "past 32 bits or signed: kept";
    EXPECT_TRUE(m_log.Contains("is not a hexadecimal mask", CONSOLE_WARNING));
    Run("gGame:RevertToDefaultOutlineParams() gGame:OnMainMenuEntered() gGame:OnMainMenuLeft() "
        "gGame:OnAfterMainMenuSceneLoaded() gGame:OnBeforeMainMenuSceneUnloaded() "
        "gGame:EnableAppDeactivationOnBackPressed(true)");
    EXPECT_EQ(m_delegate.Joined(),
              "OnMainMenuEntered;OnMainMenuLeft;OnAfterMainMenuSceneLoaded;OnBeforeMainMenuSceneUnloaded;");
    EXPECT_TRUE(std::exchange(gBackKeyDeactivatesApp, false));
}

TEST_F(ScriptGameMethodsTest, ScriptsHandScreensToTheGame)
{
    // Screens come from the UI; the test hands two to the script as globals.
    UIScreen* first = new UIScreen;
    UIScreen* second = new UIScreen;
    tolua_pushusertype(L(), first, "UIScreen");
    lua_setglobal(L(), "gFirst");
    tolua_pushusertype(L(), second, "UIScreen");
    lua_setglobal(L(), "gSecond");

    Run("gGame:AppendUIScreen(gFirst) gGame:AppendUIScreen(gSecond)");
    ASSERT_EQ(gGame.GetScreenStack().GetCount(), 2);
    EXPECT_EQ(gGame.GetScreenStack().GetTop(), second);
    Run("gGame:SetActiveUIScreen(gFirst)");
    ASSERT_EQ(gGame.GetScreenStack().GetCount(), 1) << "emptied, then pushed";
    EXPECT_EQ(gGame.GetScreenStack().GetTop(), first);

    Run("gGame:SetPreFSEUIScreen(gSecond) gGame:SetLoadingUIScreen(gFirst, 1)");
    EXPECT_EQ(gGame.GetPreFSEUIScreen(), second);
    EXPECT_EQ(gGame.GetLoadingUIScreen(), first);
    Run("gGame:SetPreFSEUIScreen(nil) gGame:SetLoadingUIScreen(nil, 0)");
    EXPECT_EQ(gGame.GetPreFSEUIScreen(), nullptr);
    EXPECT_EQ(gGame.GetLoadingUIScreen(), nullptr);

    // Only while the window is inactive do these reach the window; a script may always call them.
    Run("gGame:FlashWindow() gGame:RestoreWindow()");
    Run("gFirst = nil gSecond = nil");
    gGame.GetScreenStack().Clear(false);
    delete first;
    delete second;
}
