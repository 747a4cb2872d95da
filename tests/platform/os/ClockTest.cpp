// ctest-labels: thread
#include "platform/os/Clock.h"

#include <gtest/gtest.h>

TEST(ClockTest, ManualCounterIsUnderTestControl)
{
    os::EnableManualCounter(1000);
    EXPECT_EQ(os::QueryCounter(), 1000);
    os::AdvanceManualCounter(os::kCounterFrequency);
    EXPECT_EQ(os::QueryCounter(), 1000 + os::kCounterFrequency);
    os::DisableManualCounter();
    const int64_t a = os::QueryCounter();
    os::Sleep(2);
    EXPECT_GT(os::QueryCounter(), a);
}
