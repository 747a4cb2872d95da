#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "platform/os/Clock.h"

#include <gtest/gtest.h>

namespace
{
class GameTimeMultiplierTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        os::EnableManualCounter(0);
        gEngineTimer.Reset();
        m_game.ResetTimeMultiplier();
    }
    void TearDown() override { os::DisableManualCounter(); }
    static void AdvanceSeconds(double seconds)
    {
        os::AdvanceManualCounter(int64_t(seconds * double(os::kCounterFrequency)));
        gEngineTimer.Advance(false);
    }
    Game m_game;
};
} // namespace

TEST_F(GameTimeMultiplierTest, ZeroDurationTakesEffectInTheNextFrame)
{
    m_game.SetTimeMultiplier(0.5f, 0.0f, 0.0f);
    AdvanceSeconds(1.0 / 60.0);
    EXPECT_FLOAT_EQ(m_game.UpdateTimeMultiplier(), 0.5f);
}

TEST_F(GameTimeMultiplierTest, RampsLinearlyOverTheDurationOfRealTime)
{
    m_game.SetTimeMultiplier(2.0f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(m_game.UpdateTimeMultiplier(), 1.0f);
    AdvanceSeconds(0.25);
    EXPECT_NEAR(m_game.UpdateTimeMultiplier(), 1.25f, 1e-5f);
    AdvanceSeconds(0.5);
    EXPECT_NEAR(m_game.UpdateTimeMultiplier(), 1.75f, 1e-5f);
    AdvanceSeconds(0.5);
    EXPECT_FLOAT_EQ(m_game.UpdateTimeMultiplier(), 2.0f);
}

// The real time the multiplier ramps on starts again from the moment of a reset.
TEST_F(GameTimeMultiplierTest, TheEngineTimerCountsFromItsLastReset)
{
    AdvanceSeconds(0.5);
    os::AdvanceManualCounter(os::kCounterFrequency);
    gEngineTimer.Reset();
    EXPECT_EQ(gEngineTimer.GetLastStepSeconds(), 0.0f);
    AdvanceSeconds(0.25);
    EXPECT_DOUBLE_EQ(gEngineTimer.GetSeconds(), 0.25);
    EXPECT_EQ(gEngineTimer.GetStepCount(), 1u);
}
