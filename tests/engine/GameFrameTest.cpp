#include "engine/Game.h"

#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "online/MultiplayerEngine.h"
#include "platform/os/Clock.h"
#include "support/RecordingGameDelegate.h"
#include "support/SceneTestSupport.h"

#include <gtest/gtest.h>

namespace
{
constexpr int64_t kFrame30 = os::kCounterFrequency / 30;

class GameFrameTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        os::EnableManualCounter(os::QueryCounter());
        gEngineTimer.Reset();
        gEngineClock.Reset();
        gGame.Init(&m_delegate);
        m_delegate.calls.clear();
    }
    void TearDown() override
    {
        gGame.Close();
        os::DisableManualCounter();
        SceneTest::TearDown();
    }
    // One frame of the given length; the ticks it ran.
    int Frame(int64_t ticks, bool allowRender = true)
    {
        const int before = m_delegate.ticks;
        os::AdvanceManualCounter(ticks);
        gGame.Update(allowRender);
        return m_delegate.ticks - before;
    }
    int Frames(int count, int64_t ticks)
    {
        int total = 0;
        for (int i = 0; i < count; ++i)
            total += Frame(ticks);
        return total;
    }

    RecordingGameDelegate m_delegate;
};
} // namespace

TEST_F(GameFrameTest, MultiplierTwoAtThirtyHertzRunsOneTickEveryFrame)
{
    gGame.SetTimeMultiplier(2.0f, 0.0f);
    Frames(3, kFrame30);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(Frame(kFrame30), 1) << "frame " << i;
    EXPECT_FLOAT_EQ(gGame.GetFrameMultiplier(), 2.0f);
    m_delegate.quiet.clear();
    Frame(kFrame30);
    EXPECT_EQ(m_delegate.Joined(), "OnBigFrameTick;OnTickInput;OnSmoothTick;OnTick;OnAfterTick;OnEndOfFrame;");
}

TEST_F(GameFrameTest, HalfMultiplierRunsOneTickEveryFourFrames)
{
    gGame.SetTimeMultiplier(0.5f, 0.0f);
    Frames(8, kFrame30);
    EXPECT_EQ(Frames(40, kFrame30), 10);
    const uint32_t ticks = gGame.GetTickCounter();
    EXPECT_EQ(Frames(4, kFrame30), 1);
    EXPECT_EQ(gGame.GetTickCounter(), ticks + 1);
}

TEST_F(GameFrameTest, AStallRunsAtMostOneTickAndIsNotCaughtUp)
{
    Frames(4, kFrame30);
    const uint64_t gameTime = gGame.GetGameTimer().GetTime();
    EXPECT_EQ(Frame(os::kCounterFrequency / 2), 1) << "half a second of stall";
    EXPECT_EQ(gGame.GetGameTimer().GetTime() - gameTime, uint64_t(Game::kTickSeconds * 1e7));
    // The capped frame enters the average: (3 x 1/30 + 1/15) / 4.
    EXPECT_NEAR(gGame.GetFrameStep(), (3.0f / 30.0f + Game::kTickSeconds) / 4.0f, 1e-4f);
    EXPECT_LE(Frames(2, kFrame30), 1) << "the dropped time is not run later";
}

TEST_F(GameFrameTest, TheSwitchFrameRunsNoTicksAndTheTimersReadZero)
{
    Frames(6, kFrame30);
    ASSERT_GT(gGame.GetGameTimer().GetTime(), 0u);
    gGame.SwitchScene(nullptr, 0, Game::kNoVariation, nullptr);
    EXPECT_EQ(Frame(os::kCounterFrequency), 0);
    EXPECT_FALSE(gGame.IsSwitchPending());
    EXPECT_EQ(gGame.GetGameTimer().GetTime(), 0u);
    EXPECT_EQ(gGame.GetGameplayTimer().GetTime(), 0u);
    EXPECT_EQ(gGame.GetSmoothGameTimer().GetTime(), 0u);
    EXPECT_EQ(gGame.GetTickCounter(), 0u);
    EXPECT_EQ(gGame.GetFrameCounter(), 1u);
    EXPECT_EQ(gEngineTimer.GetLastStepSeconds(), 0.0f) << "the load time does not count";
    EXPECT_LE(Frames(3, kFrame30), 1) << "the second of loading is not run afterwards";

    // A game initialised again counts from zero too.
    ASSERT_GT(Frames(4, kFrame30), 0);
    gGame.Close();
    gGame.Init(&m_delegate);
    EXPECT_EQ(gGame.GetTickCounter(), 0u);
    EXPECT_EQ(gGame.GetFrameCounter(), 0u);
    EXPECT_EQ(gGame.GetUpdateCounter(), 0u);
}

TEST_F(GameFrameTest, APausedGameClockStopsTicksButNotSmoothingOrGameplayTime)
{
    Frames(4, kFrame30);
    gGame.GetGameScheduler()->AddCall(nullptr, "x = 1", gGame.GetGameTimerTicks(), 0.0f, 0);
    ASSERT_EQ(gGame.GetGameScheduler()->GetCount(), 1);
    gGame.GetGameTimer().Pause(true);
    const uint64_t gameplay = gGame.GetGameplayTimer().GetTime();
    const int smooth = m_delegate.smoothTicks;
    EXPECT_EQ(Frames(10, kFrame30), 0) << "no OnTick while the game clock is paused";
    EXPECT_EQ(m_delegate.smoothTicks, smooth + 10);
    EXPECT_GT(gGame.GetGameplayTimer().GetTime(), gameplay) << "gameplay time runs on";
    EXPECT_GT(gGame.GetTickCounter(), 0u);
    EXPECT_EQ(gGame.GetGameScheduler()->GetCount(), 1) << "the game scheduler stops too";

    gGame.GetGameTimer().Pause(false);
    gGame.GetGameplayTimer().Pause(true);
    const uint64_t frozen = gGame.GetGameplayTimer().GetTime();
    EXPECT_GT(Frames(10, kFrame30), 0);
    EXPECT_EQ(gGame.GetGameplayTimer().GetTime(), frozen);
    gGame.GetGameplayTimer().Pause(false);
}

TEST_F(GameFrameTest, ABigFrameTickVetoFreezesGameTimeWithoutABacklog)
{
    Frames(4, kFrame30);
    const uint32_t ticks = gGame.GetTickCounter();
    const uint32_t frames = gGame.GetFrameCounter();
    m_delegate.bigFrameTick = false;
    EXPECT_EQ(Frames(20, kFrame30), 0);
    EXPECT_EQ(gGame.GetTickCounter(), ticks);
    EXPECT_EQ(gGame.GetFrameCounter(), frames) << "a vetoed frame runs no logic";
    m_delegate.bigFrameTick = true;
    EXPECT_LE(Frame(kFrame30), 1) << "the frozen second is not caught up";
    EXPECT_NEAR(gGame.GetFrameStep(), 1.0f / 30.0f, 1e-4f) << "nor does it enter the frame average as a stall";
}

TEST_F(GameFrameTest, SmoothModeStepsThroughWholeTicksAndTheRemainder)
{
    m_delegate.fixedTick = false;
    // 0.05 s frames at multiplier 2: a frame step of 0.1 s is one whole tick and 0.0333 s.
    gGame.SetTimeMultiplier(2.0f, 0.0f);
    Frames(4, os::kCounterFrequency / 20);
    const uint64_t before = gGame.GetGameTimer().GetTime();
    EXPECT_EQ(Frame(os::kCounterFrequency / 20), 2);
    EXPECT_NEAR(gGame.GetGameTimer().GetLastStep(), 0.1f - Game::kTickSeconds, 1e-5f);
    EXPECT_NEAR(double(gGame.GetGameTimer().GetTime() - before) / 1e7, 0.1, 1e-5);

    // At 1.4 the step is 0.07 s: the 0.0033 s rest is below the threshold, so one tick runs.
    gGame.SetTimeMultiplier(1.4f, 0.0f);
    Frames(4, os::kCounterFrequency / 20);
    EXPECT_EQ(Frame(os::kCounterFrequency / 20), 1);
    EXPECT_NEAR(gGame.GetGameTimer().GetLastStep(), Game::kTickSeconds, 1e-6f);

    // A frame shorter than a tick runs one step of its own length, not a whole tick.
    gGame.SetTimeMultiplier(1.0f, 0.0f);
    Frames(4, os::kCounterFrequency / 60);
    EXPECT_EQ(Frame(os::kCounterFrequency / 60), 1);
    EXPECT_NEAR(gGame.GetGameTimer().GetLastStep(), 1.0f / 60.0f, 1e-5f);

    gGame.GetGameTimer().Pause(true);
    const int pauses = m_delegate.pauseTicks;
    EXPECT_EQ(Frame(os::kCounterFrequency / 20), 0);
    EXPECT_EQ(m_delegate.pauseTicks, pauses + 1) << "a paused step runs OnPauseTick instead";
    gGame.GetGameTimer().Pause(false);

    gGame.Close();
    gGame.Init(nullptr);
    Frames(5, os::kCounterFrequency / 60);
    EXPECT_NEAR(gGame.GetGameTimer().GetLastStep(), 1.0f / 60.0f, 1e-5f) << "a game without a delegate steps smoothly";
}

TEST_F(GameFrameTest, AnIdleFrameOnlyRunsCommandsAndStopsTheClocks)
{
    Frames(2, kFrame30);
    const int64_t engineTime = gEngineTimer.GetTicks();
    const uint32_t updates = gGame.GetUpdateCounter();
    EXPECT_EQ(Frame(os::kCounterFrequency, false), 0);
    EXPECT_EQ(gEngineTimer.GetTicks(), engineTime);
    EXPECT_EQ(gGame.GetUpdateCounter(), updates) << "an idle frame is not an update";
    EXPECT_FALSE(gGame.IsWindowActive());
    m_delegate.canSleep = false;
    Frame(kFrame30, false);
    EXPECT_EQ(gGame.GetUpdateCounter(), updates + 1) << "a game that may not sleep runs without focus";
}

TEST_F(GameFrameTest, TheStateIsSentOncePerTickAndALaggingSenderCatchesUp)
{
    MultiplayerEngine* const engine = gGame.GetMultiplayerEngine();
    ASSERT_NE(engine, nullptr);
    const uint64_t start = gGame.GetMultiplayerSendTime();
    const int64_t interval = int64_t(Game::kSendIntervalMicroseconds) * 10;
    os::AdvanceManualCounter(interval);
    gGame.UpdateMultiplayer(1, 0);
    EXPECT_EQ(gGame.GetMultiplayerSendTime(), start + Game::kSendIntervalMicroseconds);
    os::AdvanceManualCounter(3 * interval);
    gGame.UpdateMultiplayer(1, 0);
    EXPECT_EQ(gGame.GetMultiplayerSendTime(), start + 2 * Game::kSendIntervalMicroseconds)
        << "one step a tick: two intervals behind is not yet caught up";
    os::AdvanceManualCounter(2 * interval);
    gGame.UpdateMultiplayer(1, 0);
    EXPECT_EQ(gGame.GetMultiplayerSendTime(), start + 6 * Game::kSendIntervalMicroseconds)
        << "four intervals behind: all are taken at once";
    os::AdvanceManualCounter(4 * interval);
    gGame.UpdateMultiplayer(0, 0);
    EXPECT_EQ(gGame.GetMultiplayerSendTime(), start + 6 * Game::kSendIntervalMicroseconds)
        << "a frame without ticks sends nothing, however far behind";
    engine->Flush();
    EXPECT_EQ(engine->GetCommandsReceived(), 3u) << "one complete state per frame that sent";
}
