// ctest-labels: thread
#include "engine/Game.h"

#include "core/filesystem/FileSystem.h"
#include "engine/config/ProjectConfig.h"

#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "online/MultiplayerEngine.h"
#include "online/NorvexAnalytics.h"
#include "online/ServerRequestThread.h"
#include "platform/os/Clock.h"
#include "platform/os/Modules.h"
#include "platform/window/Window.h"
#include "support/RecordingGameDelegate.h"
#include "support/SceneTestSupport.h"
#include "support/TempFolder.h"
#include "ui/elements/UIElement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace
{
class GameTest : public SceneTest
{
protected:
    void TearDown() override
    {
        gGame.Close();
        os::UnregisterAllModules();
        win::ResetWindowSystem();
        os::DisableManualCounter();
        SceneTest::TearDown();
    }

    int Index(const std::string& prefix) const
    {
        const std::vector<CapturedMessage> messages = m_log.Messages();
        for (size_t i = 0; i < messages.size(); ++i)
            if (messages[i].text.rfind(prefix, 0) == 0)
                return int(i);
        return -1;
    }

    RecordingGameDelegate m_delegate;
};

} // namespace

TEST_F(GameTest, InitAndCloseRunTheirStepsInOrderAndNothingTouchesTheDeletedMultiplayerEngine)
{
    m_delegate.analytics = true;
    const char* argv[] = {"tessarine", "+connect_lobby", "42"};
    gSequenceSystem.Enable(false);
    gProjectConfig.m_outline.m_softness = 0.25f;
    Entity* const loaded = Create();
    gGame.Init(nullptr, 640, 360, &m_delegate, argv, 3);
    EXPECT_EQ(std::count(m_delegate.scriptsStarted.begin(), m_delegate.scriptsStarted.end(), loaded), 1)
        << "an entity already in the scene starts its script";
    EXPECT_EQ(gGame.GetOutlineParams().m_softness, std::exchange(gProjectConfig.m_outline.m_softness, 0.5f));

    EXPECT_EQ(m_delegate.Joined(), "RunStartupScripts;OnInit;OnAfterInit;");
    ASSERT_NE(gGame.GetMultiplayerEngine(), nullptr);
    EXPECT_EQ(gMultiplayerEngine, gGame.GetMultiplayerEngine()) << "published for the scene and scripts";
    EXPECT_EQ(gGame.GetArguments().size(), 3u);
    EXPECT_TRUE(gServerRequestThread.IsRunning());
    EXPECT_TRUE(gGame.IsInitialised());
    EXPECT_TRUE(gGame.IsActive());
    EXPECT_TRUE(gGameExists);
    EXPECT_TRUE(gSequenceSystem.IsEnabled()) << "sequences run in the scene the game starts with";
    EXPECT_FALSE(gSceneSwitchInProgress);
    EXPECT_FALSE(gGame.IsHardwareCursorShown());
    EXPECT_EQ(gGame.GetScreenWidth(), 640u);
    EXPECT_EQ(gGame.GetScreenHeight(), 360u);
    const int touch = Index("Cannot load PCTouchHelper.dll");
    ASSERT_GE(touch, 0);
    EXPECT_GT(Index("No touch support detected"), touch);

    // Replicated entities take ids from the engine and tell it when they die, which Close does
    // after the engine is gone.
    std::vector<SafePointer<Entity>> entities;
    for (int i = 0; i < 4; ++i)
    {
        entities.emplace_back(Create());
        ASSERT_TRUE(entities.back());
    }
    gSequenceSystem.RaiseGlobalSemaphore(NameString("gate"));
    m_delegate.calls.clear();
    m_log.Clear();
    gGame.Close();

    EXPECT_EQ(m_delegate.Joined(), "OnClose;OnAfterClose;");
    EXPECT_EQ(gMultiplayerEngine, nullptr);
    EXPECT_EQ(gGame.GetMultiplayerEngine(), nullptr);
    for (const SafePointer<Entity>& entity : entities)
        EXPECT_FALSE(entity) << "the scene was renewed";
    EXPECT_FALSE(gServerRequestThread.IsRunning());
    EXPECT_FALSE(gGame.IsInitialised());
    EXPECT_FALSE(gGame.IsActive());
    EXPECT_FALSE(gGameExists);
    EXPECT_FALSE(gSequenceSystem.IsGlobalSemaphoreRaised(NameString("gate")));
    EXPECT_TRUE(gGame.IsHardwareCursorShown());
    const int closing = Index("Game closing...");
    ASSERT_GE(closing, 0);
    EXPECT_GT(Index("Game closed"), closing);
}

TEST_F(GameTest, CloseRenewsTheSceneEndsTheUIMemoryGuardAndASecondCloseIsHarmless)
{
    gGame.Init(&m_delegate);
    Entity* const entity = Create();
    ASSERT_NE(entity, nullptr);
    SafePointer<Entity> held(entity);
    EnableUIMemoryGuard();
    gGame.Close();
    EXPECT_FALSE(held) << "Close destroys the scene's entities";
    EXPECT_EQ(GetUIMemoryGuardRoot(), nullptr) << "and turns the UI memory guard off";
    m_delegate.calls.clear();
    gGame.Close();
    EXPECT_EQ(m_delegate.Joined(), "") << "the close hooks run only for an initialised game";
    gGame.GetGameplayTimer().Pause(true);
    gGame.Init(&m_delegate);
    EXPECT_FALSE(gGame.GetGameplayTimer().IsPaused()) << "a new game's clocks start unpaused";
}

// The store data the Game read at start serves the delegate's store requests until the Game closes.
TEST_F(GameTest, StoreRequestsRunOverTheStoreDataOfTheGame)
{
    TempFolder folder;
    folder.WriteFile("common/Store.bin", std::string("\x01\x02\x03", 3));
    ASSERT_TRUE(gFileSystem.MountDirectory("common", (folder / "common").c_str()));
    gProjectConfig.m_storeDefinitionFile = "Store.bin";
    gGame.Init(&m_delegate);
    gProjectConfig.m_storeDefinitionFile.clear();
    ASSERT_NE(gGame.GetInGameStore(), nullptr);
    EXPECT_TRUE(m_delegate.OpenInGameStore(3, 4));
    EXPECT_TRUE(m_log.Contains("InGameStore: request 3 (4) over 3 bytes of store data"));
    gGame.Close();
    EXPECT_FALSE(m_delegate.OpenInGameStore(3, 4));
    gFileSystem.UnmountAll();
}

TEST_F(GameTest, CloseWaitsForTheDelegateAtMostTenSeconds)
{
    class SlowDelegate : public RecordingGameDelegate
    {
    public:
        bool IsReadyToClose() override
        {
            os::AdvanceManualCounter(os::kCounterFrequency / 2);
            return RecordingGameDelegate::IsReadyToClose();
        }
    } slow;
    slow.readyToClose = false;
    gGame.Init(&slow);
    os::EnableManualCounter(os::QueryCounter());
    gGame.Close();
    EXPECT_EQ(gGame.GetDelegate(), nullptr) << "a closed game forgets its delegate";
    EXPECT_GE(slow.readyQueries, 20);
    EXPECT_LE(slow.readyQueries, 22);
    EXPECT_EQ(slow.Count("OnClose"), 1u);
}

TEST_F(GameTest, TwoQuitsCallOnQuitOnce)
{
    gGame.Init(&m_delegate);
    gGame.Quit();
    gGame.Quit();
    EXPECT_TRUE(gGame.IsQuitting());
    EXPECT_EQ(m_delegate.Count("OnQuit"), 1u);
    EXPECT_GE(Index("gGame::Quit"), 0);
}

TEST_F(GameTest, ResolutionAndFullScreenRequestsAreTakenOnce)
{
    gGame.Init(&m_delegate);
    uint32_t width = 0;
    uint32_t height = 0;
    gGame.RequestScreenResoultionChange(0, 600);
    gGame.RequestScreenResoultionChange(800, 0);
    EXPECT_FALSE(gGame.TakeResolutionRequest(width, height)) << "a zero side is ignored";
    gGame.RequestScreenResoultionChange(1024, 768);
    ASSERT_TRUE(gGame.TakeResolutionRequest(width, height));
    EXPECT_EQ(width, 1024u);
    EXPECT_EQ(height, 768u);
    EXPECT_FALSE(gGame.TakeResolutionRequest(width, height));

    bool full = false;
    EXPECT_FALSE(gGame.TakeFullScreenRequest(full));
    gGame.RequestFullScreen(true);
    ASSERT_TRUE(gGame.TakeFullScreenRequest(full));
    EXPECT_TRUE(full);
    EXPECT_FALSE(gGame.TakeFullScreenRequest(full));

    gGame.RequestScreenResoultionChange(1024, 768);
    gGame.SetSize(800, 600, true);
    EXPECT_FALSE(gGame.TakeResolutionRequest(width, height)) << "SetSize clears the pending request";
    EXPECT_EQ(gGame.GetScreenWidth(), 800u);
    EXPECT_EQ(m_delegate.Count("OnScreenResolutionChanged"), 1u);
    gGame.SetSize(320, 200, false);
    EXPECT_EQ(UIScreen::GetUIWidth(), 320u) << "the UI takes a size unless silent";
    EXPECT_EQ(UIScreen::GetUIHeight(), 200u);
}

TEST_F(GameTest, SleepNeedsTheOptionAnIdleMultiplayerEngineAndTheDelegate)
{
    gGame.Init(&m_delegate);
    EXPECT_TRUE(gGame.CanSleep());
    m_delegate.canSleep = false;
    EXPECT_FALSE(gGame.CanSleep());
    m_delegate.canSleep = true;
    gGame.GetMultiplayerEngine()->SetMode(MultiplayerEngine::MODE_SERVER);
    EXPECT_FALSE(gGame.CanSleep());
    gGame.GetMultiplayerEngine()->SetMode(MultiplayerEngine::MODE_NONE);
    gGame.SetAllowSleep(false);
    EXPECT_FALSE(gGame.CanSleep());
    gGame.SetAllowSleep(true);
}

TEST_F(GameTest, ScriptCallCancellationReachesEveryScheduler)
{
    gGame.Init(&m_delegate);
    gGame.ScheduleScriptCall("DoIt", 1.0f, 0);
    gGame.ScheduleScriptCall("DoIt", 1.0f, Game::kGameplayScheduler);
    gGame.ScheduleScriptCall("DoIt", 1.0f, Game::kGlobalScheduler);
    gGame.ScheduleScriptCall("Other", 1.0f, Game::kGameplayScheduler);
    EXPECT_EQ(gGame.GetGameScheduler()->GetCount(), 1);
    EXPECT_EQ(gGame.GetGameplayScheduler()->GetCount(), 2);
    EXPECT_EQ(gGlobalScriptScheduler.GetCount(), 1);
    gGame.DeleteScriptCalls("DoIt");
    // A cancelled call keeps its slot until its time but loses its name, so it never runs.
    auto named = [](const ScriptSchedulerHelper& scheduler, const char* name) {
        int count = 0;
        for (const ScheduledScriptCall& call : scheduler.GetCalls())
            count += call.name != nullptr && std::strcmp(call.name, name) == 0;
        return count;
    };
    EXPECT_EQ(named(*gGame.GetGameScheduler(), "DoIt"), 0);
    EXPECT_EQ(named(*gGame.GetGameplayScheduler(), "DoIt"), 0) << "the gameplay scheduler is searched too";
    EXPECT_EQ(named(*gGame.GetGameplayScheduler(), "Other"), 1);
    EXPECT_EQ(named(gGlobalScriptScheduler, "DoIt"), 0);
    gGlobalScriptScheduler.Clear();
}
