// ctest-labels: thread
#include "platform/os/Clock.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(SyncTest, AutoResetEventReleasesOneWaitAndClears)
{
    os::Event event(false);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
    // Setting a set event releases nothing more.
    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(SyncTest, ManualResetEventStaysSetUntilReset)
{
    os::Event event(true);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(1));
}

// A waiter watches IsSet before it waits: the look must neither miss a Set nor take the event.
TEST(SyncTest, IsSetSeesASetWithoutTakingIt)
{
    for (const bool manualReset : {false, true})
    {
        SCOPED_TRACE(manualReset ? "manual reset" : "auto reset");
        os::Event event(manualReset);
        EXPECT_FALSE(event.IsSet());
        event.Set();
        EXPECT_TRUE(event.IsSet());
        EXPECT_TRUE(event.IsSet());
        EXPECT_TRUE(event.Wait(0));
        EXPECT_EQ(event.IsSet(), manualReset);
        event.Reset();
        EXPECT_FALSE(event.IsSet());
    }
    std::atomic<bool> started{false};
    os::Event crossThread(false);
    std::thread setter([&] {
        started.store(true);
        crossThread.Set();
    });
    while (!crossThread.IsSet())
        std::this_thread::yield();
    EXPECT_TRUE(started.load());
    EXPECT_TRUE(crossThread.Wait(0));
    setter.join();
}

TEST(SyncTest, SemaphoreRefusesToPassItsMaximum)
{
    struct Case
    {
        int32_t initial;
        int32_t maximum;
        std::vector<int32_t> releases;
        std::vector<bool> accepted;
        int takes; // Wait(0) calls that succeed afterwards
    };
    const Case cases[] = {
        {0, 2, {1, 1, 1}, {true, true, false}, 2},
        {2, 3, {2, 1, 1}, {false, true, false}, 3},
        {1, 5, {0, -1, 4}, {false, false, true}, 5},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "initial " << c.initial << ", maximum " << c.maximum);
        os::Semaphore semaphore(c.initial, c.maximum);
        for (size_t i = 0; i < c.releases.size(); ++i)
            EXPECT_EQ(semaphore.Release(c.releases[i]), c.accepted[i]) << "release " << i;
        for (int i = 0; i < c.takes; ++i)
            EXPECT_TRUE(semaphore.Wait(0)) << "take " << i;
        EXPECT_FALSE(semaphore.Wait(0));
    }
}

namespace
{
// An event of either kind or a semaphore, with a wait and the call that releases it.
struct Waitable
{
    const char* name;
    std::unique_ptr<os::Event> event;
    std::unique_ptr<os::Semaphore> semaphore;

    bool Wait(uint32_t timeoutMs) { return event ? event->Wait(timeoutMs) : semaphore->Wait(timeoutMs); }
    void Release(int32_t count)
    {
        if (event)
            event->Set();
        else
            semaphore->Release(count);
    }
};

std::vector<Waitable> EveryKind()
{
    std::vector<Waitable> kinds;
    kinds.push_back({"auto-reset event", std::make_unique<os::Event>(false), nullptr});
    kinds.push_back({"manual-reset event", std::make_unique<os::Event>(true), nullptr});
    kinds.push_back({"semaphore", nullptr, std::make_unique<os::Semaphore>(0, 100)});
    return kinds;
}

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Polls until `count` reaches `target` or `limitMs` passes; the count's last value.
int WaitForCount(const std::atomic<int>& count, int target, int64_t limitMs)
{
    const Clock::time_point start = Clock::now();
    while (count.load() < target && MillisecondsSince(start) < limitMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return count.load();
}
} // namespace

TEST(SyncTest, TimedWaitsLastTheirLimitAndSleepersWakeOnARelease)
{
    for (Waitable& waitable : EveryKind())
    {
        SCOPED_TRACE(waitable.name);
        timespec cpu[2];
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu[0]);
        Clock::time_point start = Clock::now();
        EXPECT_FALSE(waitable.Wait(30));
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu[1]);
        EXPECT_GE(MillisecondsSince(start), 30);
        EXPECT_LT(MillisecondsSince(start), 500) << "a limit under a second ends within it";
        // Asleep, not spinning: an idle worker must leave its core free.
        EXPECT_LT((cpu[1].tv_sec - cpu[0].tv_sec) * 1000 + (cpu[1].tv_nsec - cpu[0].tv_nsec) / 1000000, 10);
        for (const uint32_t limit : {os::kInfinite, 20000u})
        {
            std::thread releaser([&waitable] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                waitable.Release(1);
            });
            start = Clock::now();
            EXPECT_TRUE(waitable.Wait(limit));
            EXPECT_LT(MillisecondsSince(start), 10000);
            releaser.join();
            if (waitable.event && waitable.event->IsManualReset())
                waitable.event->Reset();
        }
        EXPECT_FALSE(waitable.Wait(0));
    }
}

// An auto-reset Set releases one sleeper, a manual-reset Set every sleeper, Release(n) n of them;
// the others keep sleeping.
TEST(SyncTest, AReleaseWakesOneSleeperOrEverySleeperItStandsFor)
{
    constexpr int kSleepers = 3;
    const int releasedByOne[] = {1, kSleepers, 2};
    std::vector<Waitable> kinds = EveryKind();
    for (size_t k = 0; k < kinds.size(); ++k)
    {
        Waitable& waitable = kinds[k];
        SCOPED_TRACE(waitable.name);
        std::atomic<int> returned{0};
        std::atomic<int> failed{0};
        std::vector<std::thread> sleepers;
        for (int i = 0; i < kSleepers; ++i)
            sleepers.emplace_back([&] { (waitable.Wait(20000) ? returned : failed).fetch_add(1); });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        waitable.Release(releasedByOne[k]);
        EXPECT_EQ(WaitForCount(returned, releasedByOne[k], 2000), releasedByOne[k]);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(returned.load(), releasedByOne[k]);
        // Release the rest one at a time: a set auto-reset event releases nothing more until taken.
        while (returned.load() < kSleepers && failed.load() == 0)
        {
            const int before = returned.load();
            waitable.Release(1);
            WaitForCount(returned, before + 1, 2000);
        }
        for (std::thread& sleeper : sleepers)
            sleeper.join();
        EXPECT_EQ(failed.load(), 0);
    }
}

// Flush and Stop wait on an event of their own and destroy it once their wait returns, while the
// setter may still be inside Set: nothing of the object may be read once it is set.
TEST(SyncTest, AWaiterMayDestroyTheObjectAsSoonAsItsWaitReturns)
{
    for (int round = 0; round < 20; ++round)
        for (Waitable& waitable : EveryKind())
        {
            SCOPED_TRACE(waitable.name);
            std::thread releaser([&waitable] { waitable.Release(1); });
            EXPECT_TRUE(waitable.Wait(20000));
            waitable.event.reset();
            waitable.semaphore.reset();
            releaser.join();
        }
}

// The set bit wins over the wake count, and a wake leaves the event as it was.
TEST(SyncTest, WaitOrWakeTellsASetFromAWake)
{
    using Result = os::Event::WaitResult;
    struct Case
    {
        bool set;
        uint32_t wakeCount;
        Result expected;
    };
    const Case cases[] = {
        {false, 0, Result::TimedOut},
        {false, 1, Result::Woken},
        {true, 0, Result::Signalled},
        {true, 1, Result::Signalled},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "set " << c.set << ", wake count " << c.wakeCount);
        os::Event event(false, c.set);
        const std::atomic<uint32_t> wakeCount{c.wakeCount};
        EXPECT_EQ(event.WaitOrWake(0, wakeCount), c.expected);
        EXPECT_FALSE(event.IsSet());
    }
}

TEST(SyncTest, CriticalSectionIsRecursiveAndTryEnterFailsForOtherThreads)
{
    os::CriticalSection section;
    section.Enter();
    EXPECT_TRUE(section.TryEnter());
    struct Probe
    {
        os::CriticalSection* section;
        std::atomic<bool> held{true};
    } probe{&section};
    os::Thread other;
    ASSERT_TRUE(other.Start("TryEnter", [](void* arg) {
        auto* p = static_cast<Probe*>(arg);
        const bool held = p->section->TryEnter();
        if (held)
            p->section->Leave();
        p->held.store(held);
    }, &probe));
    other.Join();
    EXPECT_FALSE(probe.held.load());
    section.Leave();
    section.Leave();
}
