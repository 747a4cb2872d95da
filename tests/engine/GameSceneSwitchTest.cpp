// ctest-labels: thread
#include "engine/Game.h"

#include "engine/config/ProjectConfig.h"
#include "platform/os/Clock.h"
#include "platform/os/Sync.h"
#include "support/RecordingGameDelegate.h"
#include "support/SceneTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
class GameSceneSwitchTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gProjectConfig.m_sceneVariations.Clear();
        gGame.Init(&m_delegate);
        m_delegate.calls.clear();
    }
    void TearDown() override
    {
        gGame.Close();
        gProjectConfig.m_sceneVariations.Clear();
        SceneTest::TearDown();
    }
    void SetVariations(int count)
    {
        gProjectConfig.m_sceneVariations.Clear();
        for (int i = 0; i < count; ++i)
            gProjectConfig.m_sceneVariations.Add(NameString(("v" + std::to_string(i)).c_str()));
    }

    RecordingGameDelegate m_delegate;
};
} // namespace

TEST_F(GameSceneSwitchTest, VariationsAreClampedToTheProjectsList)
{
    SetVariations(3);
    gGame.SwitchScene("Level", 0, 7, nullptr);
    EXPECT_EQ(gGame.GetPendingVariation(), 2);
    gGame.SwitchScene("Level", 0, 1, nullptr);
    EXPECT_EQ(gGame.GetPendingVariation(), 1);
    gGame.SwitchScene("Level", 0, Game::kNoVariation, nullptr);
    EXPECT_EQ(gGame.GetPendingVariation(), Game::kNoVariation);
    SetVariations(0);
    gGame.SwitchScene("Level", 0, 0, nullptr);
    EXPECT_EQ(gGame.GetPendingVariation(), Game::kNoVariation);
}

TEST_F(GameSceneSwitchTest, AMissingSceneGivesAnEmptySceneThroughEveryHook)
{
    SetVariations(2);
    Entity* const old = Create();
    SafePointer<Entity> held(old);
    gGame.SwitchScene("Nowhere", 0, 1, nullptr);
    ASSERT_TRUE(gGame.IsSwitchPending());
    EXPECT_STREQ(gGame.GetPendingSceneName(), "Nowhere");
    gGame.ProcessPendingSceneSwitch();

    EXPECT_EQ(m_delegate.Joined(),
              "CanSwitchScene:Nowhere;OnSwitchScene:Nowhere;OnSwitchSceneAfterNetEntitiesDestroyed;"
              "OnDuringSwitchScene;OnAfterSwitchScene;OnAfterFirstScene;OnAfterSwitchComplete;");
    EXPECT_FALSE(held) << "the old scene went";
    EXPECT_STREQ(gEntityManager.GetSceneName(), "Nowhere");
    EXPECT_STREQ(gGame.GetCurrentSceneName(), "Nowhere");
    EXPECT_EQ(gGame.GetSceneVariantIndex(), 1);
    EXPECT_FALSE(gGame.IsSwitchPending());
    EXPECT_EQ(gGame.GetPendingSceneName(), nullptr);
    EXPECT_EQ(gGame.GetPendingVariation(), Game::kNoVariation);
    EXPECT_TRUE(gGame.IsLastSwitchedSceneEqual("Nowhere"));
    EXPECT_FALSE(gGame.IsLastSwitchedSceneEqual("nowhere"));
    EXPECT_FALSE(gGame.IsLastSwitchedSceneEqual(nullptr));
    EXPECT_FALSE(gSceneSwitchInProgress);
    EXPECT_TRUE(m_log.Contains("Scene data loaded in"));
    EXPECT_TRUE(m_log.Contains("Scene switched in"));
    EXPECT_FALSE(m_log.Contains("Scene deserialized")) << "nothing was read";

    m_delegate.calls.clear();
    gGame.SwitchScene("Again", 0, Game::kNoVariation, nullptr);
    gGame.ProcessPendingSceneSwitch();
    EXPECT_EQ(m_delegate.Count("OnAfterFirstScene"), 0u) << "only after the first switch";
    EXPECT_EQ(m_delegate.Count("OnAfterSwitchComplete"), 1u);
    EXPECT_EQ(gGame.GetSceneVariantIndex(), -1) << "no variation";
    gGame.Close();
    gGame.Init(&m_delegate);
    EXPECT_TRUE(gGame.IsLastSwitchedSceneEqual(nullptr)) << "a new game has switched no scene yet";
}

TEST_F(GameSceneSwitchTest, TheTimersAndCountersReadZeroAfterASwitch)
{
    for (GameTimer* timer : {&gGame.GetGameTimer(), &gGame.GetGameplayTimer(), &gGame.GetSmoothGameTimer(),
                             &gGame.GetSmoothGameplayTimer()})
        timer->Tick(2.0f);
    gGame.Update(true);
    gGame.SwitchScene("Level", 0, Game::kNoVariation, nullptr);
    gGame.ProcessPendingSceneSwitch();
    for (GameTimer* timer : {&gGame.GetGameTimer(), &gGame.GetGameplayTimer(), &gGame.GetSmoothGameTimer(),
                             &gGame.GetSmoothGameplayTimer()})
        EXPECT_EQ(timer->GetTime(), 0u);
    EXPECT_EQ(gGame.GetTickCounter(), 0u);
    EXPECT_EQ(gGame.GetFrameCounter(), 0u);
}

TEST_F(GameSceneSwitchTest, ARefusedRequestLeavesTheEarlierOneIntact)
{
    gGame.SwitchScene("First", 0, Game::kNoVariation, nullptr);
    m_delegate.allowSwitch = false;
    gGame.SwitchScene("Second", 0, Game::kNoVariation, nullptr);
    ASSERT_TRUE(gGame.IsSwitchPending());
    EXPECT_STREQ(gGame.GetPendingSceneName(), "First");
    m_delegate.allowSwitch = true;
    gGame.ProcessPendingSceneSwitch();
    EXPECT_STREQ(gEntityManager.GetSceneName(), "First") << "never a switch to an unnamed scene";

    m_delegate.allowSwitch = false;
    gGame.SwitchScene("Third", 0, Game::kNoVariation, nullptr);
    EXPECT_FALSE(gGame.IsSwitchPending());
    gGame.ProcessPendingSceneSwitch();
    EXPECT_STREQ(gEntityManager.GetSceneName(), "First");
}

TEST_F(GameSceneSwitchTest, ANullOrEmptySceneNameSwitchesToAnEmptyScene)
{
    for (const char* name : {static_cast<const char*>(nullptr), ""})
    {
        m_delegate.calls.clear();
        gGame.SwitchScene(name, 0, Game::kNoVariation, nullptr);
        ASSERT_TRUE(gGame.IsSwitchPending());
        EXPECT_EQ(gGame.GetPendingSceneName(), nullptr);
        gGame.ProcessPendingSceneSwitch();
        EXPECT_STREQ(gEntityManager.GetSceneName(), "");
        EXPECT_EQ(m_delegate.Count("OnSwitchScene:"), 1u);
        EXPECT_TRUE(gGame.IsLastSwitchedSceneEqual(nullptr));
        EXPECT_TRUE(gGame.IsLastSwitchedSceneEqual(""));
        EXPECT_FALSE(gGame.IsLastSwitchedSceneEqual("Level"));
    }
}

TEST_F(GameSceneSwitchTest, NothingPendingOnlyClearsTheRequestFields)
{
    gGame.ProcessPendingSceneSwitch();
    EXPECT_EQ(m_delegate.Joined(), "");
    EXPECT_TRUE(gGame.IsLastSwitchedSceneEqual(nullptr)) << "no scene switched yet";
}

TEST_F(GameSceneSwitchTest, TheSemaphoreSignalledByAWorkerLetsTheSwitchFinish)
{
    os::Semaphore semaphore(0, 1);
    std::thread worker([&semaphore] {
        os::Sleep(100);
        semaphore.Release(1);
    });
    const int64_t start = os::QueryCounter();
    gGame.SwitchScene("Level", Game::SWITCH_WAIT_BEFORE_HIDING, Game::kNoVariation, &semaphore);
    gGame.ProcessPendingSceneSwitch();
    worker.join();
    EXPECT_GE(double(os::QueryCounter() - start) / os::kCounterFrequency, 0.09);
    EXPECT_FALSE(gGame.IsSwitchPending());
    EXPECT_FALSE(m_log.Contains("not signalled"));
    EXPECT_FALSE(semaphore.Wait(0)) << "the switch took the signal";
}

TEST_F(GameSceneSwitchTest, ASemaphoreNobodySignalsEndsTheWaitAtTheLimit)
{
    os::Semaphore semaphore(0, 1);
    gGame.SetSwitchWaitLimitMs(150);
    gGame.SwitchScene("Level", 0, Game::kNoVariation, &semaphore);
    gGame.ProcessPendingSceneSwitch();
    gGame.SetSwitchWaitLimitMs(Game::kDefaultSwitchWaitLimitMs);
    EXPECT_FALSE(gGame.IsSwitchPending());
    EXPECT_TRUE(m_log.Contains("the switch semaphore was not signalled within 150 ms", CONSOLE_WARNING));
    EXPECT_STREQ(gEntityManager.GetSceneName(), "Level");
}
