// ctest-labels: thread
// The physics worker: its fixed parameters, a started thread reading the gameplay clock's pause
// state while the main thread changes it (clean under ThreadSanitizer), and the Game's close
// leaving a world that never started alone.
#include "gameplay/physics/PhysicsThread.h"

#include "engine/Game.h"
#include "platform/os/Thread.h"

#include <gtest/gtest.h>

TEST(PhysicsThreadTest, TheWorkerIsNamedSizedAndTimedForTheThirtiethOfASecondStep)
{
    PhysicsThread thread;
    EXPECT_STREQ(thread.GetName(), "Physics");
    EXPECT_EQ(thread.GetRing().GetCapacity(), PhysicsThread::kRingBytes);
    EXPECT_EQ(thread.GetConfiguredTimeout(), 33u);
    EXPECT_EQ(thread.GetSubclassWord(), uintptr_t(0x400000));
}

TEST(PhysicsThreadTest, ARunningWorkerReadsThePauseStateTheMainThreadChanges)
{
    GameTimer& gameplay = gGame.GetGameplayTimer();
    gameplay.Reset();
    PhysicsThread thread;
    ASSERT_TRUE(thread.Start());
    const uint32_t first = thread.GetTickCount();
    for (int i = 0; i < 200; ++i)
    {
        gameplay.Pause(i % 2 == 0);
        gameplay.SetRunWhilePaused(i % 3 == 0);
        if (i % 20 == 0)
            thread.Flush();
    }
    thread.Flush();
    EXPECT_GT(thread.GetTickCount(), first);
    thread.Stop();
    gameplay.Reset();
    EXPECT_FALSE(gameplay.IsPaused());
}

TEST(PhysicsThreadTest, ServicesMakeOneObjectAndTheGameCloseLeavesAnUnstartedWorldAlone)
{
    PhysicsServices::Create();
    PhysicsThread* const made = gPhysicsThread;
    ASSERT_NE(made, nullptr);
    PhysicsServices::Create();
    EXPECT_EQ(gPhysicsThread, made);
    EXPECT_FALSE(gPhysicsWorld.IsStarted());
    // Flushing a thread that never started would wait forever: the close must not try.
    PhysicsServices::StopForGameClose();
    EXPECT_FALSE(gPhysicsWorld.IsStarted());
    PhysicsServices::Destroy();
    EXPECT_EQ(gPhysicsThread, nullptr);
}
