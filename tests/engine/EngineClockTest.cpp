#include "engine/EngineClock.h"
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
    // A frame without a tick keeps the scheduled time while real time is within a tick of it.
    SetRealMicroseconds(130000);
    m_clock.Update(0, 1.0f);
    EXPECT_EQ(m_clock.GetFrameTime(), 266666u + 33333u);
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
    // With real time keeping up, that bounded step is exactly 100 ticks.
    SetRealMicroseconds(6666600);
    m_clock.Update(1, 0.0f);
    EXPECT_EQ(Corrections(), 1u);
    EXPECT_EQ(m_clock.GetScheduledTime(), 6866600u);
    // An infinite multiplier is held at 100: a tick of 666 microseconds.
    SetRealMicroseconds(6666600 + 666);
    m_clock.Update(1, INFINITY);
    EXPECT_EQ(Corrections(), 1u);
    EXPECT_EQ(m_clock.GetScheduledTime(), 6867266u);
}
