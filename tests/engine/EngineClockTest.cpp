#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "engine/TimedFloatTransition.h"
#include "core/time/Time.h"
#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr int64_t kTicksPerMicrosecond = 10;

// A manual counter from 0 with the hardware timer started there, so real time is what the test sets.
class EngineClockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        os::EnableManualCounter(0);
        Time::InitHardwareTimer();
        m_clock.Reset();
    }
    void TearDown() override { os::DisableManualCounter(); }

    static void SetRealMicroseconds(int64_t microseconds) { os::SetManualCounter(microseconds * kTicksPerMicrosecond); }

    size_t Corrections() const
    {
        size_t count = 0;
        for (const CapturedMessage& message : m_log.Messages())
            count += message.text.rfind("Multiplayer timer correction", 0) == 0 && message.channel == 7;
        return count;
    }

    ConsoleCapture m_log;
    EngineClock m_clock;
};
} // namespace

TEST_F(EngineClockTest, TicksAdvanceTheScheduledTimeWhileRealTimeKeepsUp)
{
    SetRealMicroseconds(80000);
    m_clock.Update(1, 1.0f);
    // Real 80000 + 200000 leads 266666 by less than one tick.
    EXPECT_EQ(m_clock.GetScheduledTime(), 266666u);
    EXPECT_EQ(m_clock.GetFrameTime(), 266666u);
    SetRealMicroseconds(120000);
    m_clock.Update(1, 2.0f);
    EXPECT_EQ(m_clock.GetScheduledTime(), 266666u + 33333u);
    EXPECT_EQ(m_clock.GetFrameTime(), 266666u + 33333u);
    EXPECT_EQ(Corrections(), 0u);
    EXPECT_EQ(EngineClock::GetCurrentTime(), 320000u);
}

TEST_F(EngineClockTest, DriftBeyondOneTickSnapsToRealTimeAndLogsOnce)
{
    SetRealMicroseconds(500000);
    m_clock.Update(1, 1.0f);
    ASSERT_EQ(Corrections(), 1u);
    EXPECT_NE(m_log.Messages().back().text.find("difference: 433334 (66666)"), std::string::npos);
    EXPECT_EQ(m_clock.GetScheduledTime(), 700000u);
    EXPECT_EQ(m_clock.GetFrameTime(), 700000u);

    // Exactly one tick of lead is still in step.
    SetRealMicroseconds(500000 + 66666 + 66666);
    m_clock.Update(1, 1.0f);
    EXPECT_EQ(Corrections(), 1u);
    EXPECT_EQ(m_clock.GetFrameTime(), 766666u);

    // Real time behind the schedule snaps back too.
    m_clock.Update(3, 1.0f);
    EXPECT_EQ(Corrections(), 2u);
    EXPECT_EQ(m_clock.GetFrameTime(), 500000u + 133332u + 200000u);
}

TEST_F(EngineClockTest, NegativeTicksFollowRealTime)
{
    SetRealMicroseconds(12345);
    m_clock.Update(-1, 1.0f);
    EXPECT_EQ(m_clock.GetFrameTime(), 212345u);
    EXPECT_EQ(m_clock.GetScheduledTime(), 200000u);
}

TEST_F(EngineClockTest, ZeroOrNaNMultiplierNeverDividesByZero)
{
    SetRealMicroseconds(0);
    m_clock.Update(0, 0.0f);
    EXPECT_EQ(m_clock.GetScheduledTime(), 200000u);
    EXPECT_EQ(Corrections(), 0u);
    m_clock.Update(0, NAN);
    EXPECT_EQ(m_clock.GetScheduledTime(), 200000u);
    // A tick at multiplier 0 advances by the bounded step (66666 / 0.01), then snaps back to real time.
    m_clock.Update(1, 0.0f);
    EXPECT_EQ(Corrections(), 1u);
    EXPECT_EQ(m_clock.GetScheduledTime(), 200000u);
}

TEST(TimedFloatTransitionTest, EasingsAtAQuarterHalfAndThreeQuarters)
{
    const float ps[] = {0.25f, 0.5f, 0.75f};
    const float sineOut[] = {0.38268343f, 0.70710677f, 0.92387953f};
    const float sineIn[] = {0.07612047f, 0.29289323f, 0.61731657f};
    const float sineInOut[] = {0.14644661f, 0.5f, 0.85355339f};
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_FLOAT_EQ(TimedFloatTransition::Ease(EASING_LINEAR, ps[i]), ps[i]);
        EXPECT_NEAR(TimedFloatTransition::Ease(EASING_SINE_OUT, ps[i]), sineOut[i], 1e-6f);
        EXPECT_NEAR(TimedFloatTransition::Ease(EASING_SINE_IN, ps[i]), sineIn[i], 1e-6f);
        EXPECT_NEAR(TimedFloatTransition::Ease(EASING_SINE_IN_OUT, ps[i]), sineInOut[i], 1e-6f);
        EXPECT_FLOAT_EQ(TimedFloatTransition::Ease(7, ps[i]), ps[i]);
    }
}

TEST(TimedFloatTransitionTest, EasedValueBlendsFromAndToAndEndsPastTheDuration)
{
    TimedFloatTransition transition(1.0f);
    const int64_t second = os::kCounterFrequency;
    transition.Start(Time(0), 3.0f, 2.0f, EASING_SINE_OUT);
    transition.Update(Time(second / 2));
    EXPECT_NEAR(transition.GetCurrent(), 1.0f + 2.0f * 0.38268343f, 1e-5f);
    EXPECT_NEAR(transition.GetProgress(), 0.38268343f, 1e-6f);
    transition.Update(Time(-second));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 1.0f);
    EXPECT_TRUE(transition.IsActive());
    transition.Update(Time(3 * second));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 3.0f);
    EXPECT_FALSE(transition.IsActive());
    EXPECT_FLOAT_EQ(transition.GetProgress(), 1.0f);
}

TEST(TimedFloatTransitionTest, ANewTransitionHalfWayStartsFromTheHalfWayValue)
{
    TimedFloatTransition transition(0.0f);
    const int64_t second = os::kCounterFrequency;
    transition.Start(Time(0), 2.0f, 1.0f, EASING_LINEAR);
    transition.Start(Time(second / 2), 0.0f, 1.0f, EASING_LINEAR);
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 1.0f);
    transition.Update(Time(second));
    EXPECT_FLOAT_EQ(transition.GetCurrent(), 0.5f);
}

class TimeMultiplierTest : public ::testing::Test
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
        gEngineTimer.Update();
    }
    Game m_game;
};

TEST_F(TimeMultiplierTest, ZeroDurationTakesEffectInTheNextFrame)
{
    m_game.SetTimeMultiplier(0.5f, 0.0f, 0.0f);
    AdvanceSeconds(1.0 / 60.0);
    EXPECT_FLOAT_EQ(m_game.UpdateTimeMultiplier(), 0.5f);
}

TEST_F(TimeMultiplierTest, RampsLinearlyOverTheDurationOfRealTime)
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
