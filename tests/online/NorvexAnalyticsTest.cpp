// ctest-labels: thread
#include "engine/Game.h"
#include "engine/scripting/GameDelegate.h"
#include "online/NorvexAnalytics.h"
#include "online/ServerRequestThread.h"
#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

namespace
{
class AnalyticsDelegate : public GameDelegate
{
public:
    bool IsAnalyticsEnabled() override { return true; }
};

// Holds the request thread long enough for the main thread to queue behind it and close.
void NorvexAnalyticsTestHoldThread(BaseThread&, uintptr_t milliseconds, CommandRingBuffer&)
{
    os::Sleep(uint32_t(milliseconds));
}

bool WaitForHandled(uint32_t count)
{
    for (int i = 0; i < 500 && gServerRequestThread.GetRequestsHandled() < count; ++i)
        os::Sleep(10);
    return gServerRequestThread.GetRequestsHandled() >= count;
}
} // namespace

TEST(NorvexAnalyticsTest, FieldsGoToTheOpenRecordOnly)
{
    ConsoleCapture log;
    NorvexAnalytics analytics;
    analytics.AddInt("ignored", 1);
    EXPECT_EQ(analytics.GetPoolSize(), 0u);
    analytics.Begin("sessions");
    EXPECT_EQ(analytics.GetPoolSize(), NorvexAnalytics::kPoolGrowth);
    EXPECT_TRUE(NorvexAnalyticsRequest().IsIdle()); // so Begin takes the rest of the pool before growing it
    analytics.AddInt("level", 3);
    analytics.AddFloat("time", 1.5f);
    analytics.AddString("map", "north");
    analytics.AddString("none", nullptr);
    analytics.AddInt(nullptr, 1); // fields without a name are dropped
    analytics.AddFloat(nullptr, 1.0f);
    analytics.AddString(nullptr, "unnamed");
    const NorvexAnalyticsRequest* record = analytics.GetOpenRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->table, "sessions");
    ASSERT_EQ(record->fields.size(), 4u);
    using Field = NorvexAnalyticsRequest::Field;
    const std::pair<const char*, Field::Kind> kNamed[] = {
        {"level", Field::INT}, {"time", Field::FLOAT}, {"map", Field::STRING}, {"none", Field::STRING}};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(record->fields[i].name == kNamed[i].first && record->fields[i].kind == kNamed[i].second) << i;
    EXPECT_EQ(record->fields[0].intValue, 3);
    EXPECT_FLOAT_EQ(record->fields[1].floatValue, 1.5f);
    EXPECT_EQ(record->fields[2].text, "north");
    EXPECT_EQ(record->fields[3].text, "");
    EXPECT_FALSE(record->IsIdle()) << "an open record is no longer free for the next Begin";
    analytics.End(false);
    EXPECT_FALSE(analytics.HasOpenRecord());
    EXPECT_TRUE(record->IsIdle());
    EXPECT_TRUE(record->fields.empty());
    EXPECT_TRUE(log.Contains("NorvexAnalytics: Begin [sessions]"));
    EXPECT_TRUE(log.Contains("NorvexAnalytics: End [0]"));
}

TEST(NorvexAnalyticsTest, PoolGrowsByEightWhenEveryRequestIsBusy)
{
    NorvexAnalytics analytics;
    // Without the request thread a sent record cannot be queued: it returns to the pool.
    analytics.Begin("a");
    analytics.End(true);
    EXPECT_EQ(analytics.GetPoolSize(), 8u);
    for (int i = 0; i < 9; ++i)
        analytics.Begin("b"); // each Begin drops the record left open
    EXPECT_EQ(analytics.GetPoolSize(), 8u);
}

TEST(NorvexAnalyticsTest, SentRecordsAreHandledOnTheRequestThreadAndReturnToThePool)
{
    AnalyticsDelegate delegate;
    Game game;
    game.Init(&delegate);
    ASSERT_TRUE(gServerRequestThread.IsRunning());
    EXPECT_TRUE(gServerRequestThread.GetRing().GetCapacity() == 8192u && !gServerRequestThread.HasProducerLock() &&
                gServerRequestThread.GetConfiguredTimeout() == os::kInfinite &&
                gServerRequestThread.GetSubclassWord() == 0x400000u); // 8 KiB, no lock, sleeps until a post
    const uint32_t before = gServerRequestThread.GetRequestsHandled();
    for (int i = 0; i < 12; ++i)
    {
        gNorvexAnalytics.Begin("burst");
        gNorvexAnalytics.AddInt("i", i);
        gNorvexAnalytics.End(true);
    }
    ASSERT_TRUE(WaitForHandled(before + 12));
    // Handled records are free again: sent one at a time now, they never grow the pool.
    const size_t pool = gNorvexAnalytics.GetPoolSize();
    EXPECT_GE(pool, 8u);
    for (uint32_t i = 1; i <= pool; ++i)
    {
        gNorvexAnalytics.Begin("single");
        gNorvexAnalytics.End(true);
        ASSERT_TRUE(WaitForHandled(before + 12 + i));
    }
    EXPECT_EQ(gNorvexAnalytics.GetPoolSize(), pool);
    gNorvexAnalytics.Begin("after");
    EXPECT_EQ(gNorvexAnalytics.GetOpenRecord()->fields.size(), 0u);
    gNorvexAnalytics.End(false);
    // Records still queued when the game closes are handed back before the pool is freed.
    const uint32_t handled = gServerRequestThread.GetRequestsHandled();
    ASSERT_TRUE(gServerRequestThread.PostCall(&NorvexAnalyticsTestHoldThread, 100));
    for (int i = 0; i < 4; ++i)
        gNorvexAnalytics.Begin("closing"), gNorvexAnalytics.End(true);
    game.Close();
    EXPECT_FALSE(gServerRequestThread.IsRunning());
    EXPECT_EQ(gServerRequestThread.GetRequestsHandled(), handled + 4);
    EXPECT_EQ(gNorvexAnalytics.GetPoolSize(), 0u);
}
