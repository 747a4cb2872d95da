#include "core/time/GameTimer.h"

#include <gtest/gtest.h>

TEST(GameTimerTest, PausesStackAndNeverGoBelowZero)
{
    GameTimer timer;
    timer.Reset();
    timer.Pause(true);
    timer.Pause(true);
    timer.Pause(false);
    EXPECT_TRUE(timer.IsPaused());
    timer.Tick(0.5f);
    EXPECT_EQ(timer.GetTime(), 0u);
    EXPECT_EQ(timer.GetLastStep(), 0.0f);
    EXPECT_EQ(timer.GetTickCount(), 1u);
    EXPECT_EQ(timer.GetActiveTickCount(), 0u);

    timer.Pause(false);
    EXPECT_FALSE(timer.IsPaused());
    timer.Pause(false);
    EXPECT_EQ(timer.GetPauseCounter(), 0u);
    timer.Tick(0.5f);
    EXPECT_EQ(timer.GetTime(), uint64_t(Time::GetFrequency() / 2));
    EXPECT_EQ(timer.GetLastStep(), 0.5f);
    EXPECT_EQ(timer.GetActiveTickCount(), 1u);
    // One pause still takes effect after the extra unpause.
    timer.Pause(true);
    EXPECT_TRUE(timer.IsPaused());
}

TEST(GameTimerTest, RunWhilePausedKeepsAdvancing)
{
    GameTimer timer;
    timer.Reset();
    timer.Pause(true);
    timer.SetRunWhilePaused(true);
    timer.Tick(0.25f);
    EXPECT_EQ(timer.GetTime(), uint64_t(Time::GetFrequency() / 4));
    EXPECT_EQ(timer.GetActiveTickCount(), 1u);
    timer.Reset();
    EXPECT_EQ(timer.GetPauseCounter(), 0u);
    EXPECT_EQ(timer.GetLastStep(), 0.0f);
    timer.Pause(true);
    timer.Tick(0.25f);
    EXPECT_EQ(timer.GetTime(), 0u);
}

TEST(GameTimerTest, StepsTruncateTowardZeroAndResetTimeKeepsTheCounts)
{
    GameTimer timer;
    timer.Reset();
    timer.Tick(1.0f / 15.0f);
    const uint64_t oneTick = uint64_t(int64_t(double(1.0f / 15.0f) * double(Time::GetFrequency())));
    EXPECT_EQ(timer.GetTime(), oneTick);
    timer.ResetTime(1000);
    EXPECT_EQ(timer.GetTime(), 1000u);
    EXPECT_EQ(timer.GetLastStep(), 0.0f);
    EXPECT_EQ(timer.GetTickCount(), 1u);
    timer.Tick(-0.0000001f); // -1.0000000116860974 ticks: truncated to -1
    EXPECT_EQ(timer.GetTime(), 999u);
    // A game runs past the 32-bit tick count (seven minutes) without wrapping.
    timer.ResetTime(0xFFFFFFFFu);
    timer.Tick(1.0f);
    EXPECT_EQ(timer.GetTime(), 0xFFFFFFFFu + uint64_t(Time::GetFrequency()));
}
