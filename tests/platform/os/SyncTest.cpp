// ctest-labels: thread
#include "platform/os/Clock.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
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
    os::Semaphore semaphore(0, 2);
    EXPECT_TRUE(semaphore.Release());
    EXPECT_TRUE(semaphore.Release());
    EXPECT_FALSE(semaphore.Release());
    EXPECT_TRUE(semaphore.Wait(0));
    EXPECT_TRUE(semaphore.Wait(0));
    EXPECT_FALSE(semaphore.Wait(0));
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
