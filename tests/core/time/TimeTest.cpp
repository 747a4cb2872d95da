#include "core/time/Time.h"

#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

TEST(TimeTest, CountsFromTheHardwareTimerStart)
{
    os::EnableManualCounter(5000000);
    Time::InitHardwareTimer();
    os::AdvanceManualCounter(25000000);
    Time now;
    now.LoadHardwareTime();
    EXPECT_EQ(Time::Now().GetTicks(), 25000000);
    os::DisableManualCounter();
    EXPECT_EQ(now.GetTicks(), 25000000);
    EXPECT_DOUBLE_EQ(now.ToSeconds(), 2.5);
    EXPECT_DOUBLE_EQ(now.ToMilliseconds(), 2500.0);
    EXPECT_EQ(now.ToMicroseconds(), 2500000u);
    Time::InitHardwareTimer();
}

TEST(TimeTest, MicrosecondsStayExactForLongRuns)
{
    // 40 days of ticks: multiplying by 1000000 first would overflow 64 bits.
    const int64_t ticks = int64_t(40) * 86400 * os::kCounterFrequency + 12345;
    EXPECT_EQ(Time(ticks).ToMicroseconds(), uint64_t(40) * 86400 * 1000000 + 1234);
    EXPECT_EQ(Time(9).ToMicroseconds(), 0u);
    EXPECT_EQ(Time(10).ToMicroseconds(), 1u);
    EXPECT_EQ((Time(9) += Time(1)).ToMicroseconds(), 1u);
}

TEST(TimeTest, LogPrintsSecondsWithOrWithoutLabel)
{
    ConsoleCapture capture;
    Time(15000000).Log(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Loading took");
    Time(1).Log(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, nullptr);
    const std::vector<CapturedMessage> messages = capture.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Loading took 1.500000");
    EXPECT_EQ(messages[1].text, "0.000000");
    EXPECT_EQ(messages[0].kind, CONSOLE_INFO);
}
