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

TEST_F(EngineClockTest, MultiplierDividesTheTickUnlessItGivesNoFiniteStep)
{
    // Frames without a tick add nothing, whatever the multiplier.
    SetRealMicroseconds(0);
    for (const float multiplier : {0.0f, NAN, 200.0f})
    {
        m_clock.Update(0, multiplier);
        EXPECT_EQ(m_clock.GetScheduledTime(), 200000u) << multiplier;
    }
    // Real time runs one microsecond ahead of the expected step: a right step keeps its schedule,
    // a wrong one snaps to real time with a correction.
    const struct
    {
        int32_t ticks;
        float multiplier;
        uint64_t step;
    } rows[] = {
        {1, 200.0f, 333},        // no upper bound
        {1, 0.005f, 13333200},   // no lower bound
        {3, 0.5f, 399996},
        {1, 0.0f, 66666},        // the quotient would be infinite
        {1, -2.0f, 66666},       // or negative
        {1, NAN, 66666},
        {1, INFINITY, 66666},
        {2, 1e-30f, 133332},     // or beyond the clock's range
    };
    for (const auto& row : rows)
    {
        m_clock.Reset();
        m_log.Clear();
        SetRealMicroseconds(int64_t(row.step) + 1);
        m_clock.Update(row.ticks, row.multiplier);
        EXPECT_EQ(m_clock.GetScheduledTime(), 200000u + row.step) << row.multiplier;
        EXPECT_EQ(m_clock.GetFrameTime(), 200000u + row.step) << row.multiplier;
        EXPECT_EQ(Corrections(), 0u) << row.multiplier;
    }
}
