// ctest-labels: thread
#include "core/threads/CriticalSection.h"

#include <gtest/gtest.h>

#include <thread>

// The non-waiting enter takes a lock its own thread holds (it is recursive) and gives up at once on
// one another thread holds.
TEST(CriticalSectionTest, ANonWaitingEnterFailsOnlyWhileAnotherThreadHoldsTheLock)
{
    CriticalSection lock;
    const auto takenElsewhere = [&lock] {
        bool taken = false;
        std::thread([&] {
            taken = lock.Enter(false);
            if (taken)
                lock.Leave();
        }).join();
        return taken;
    };
    ASSERT_TRUE(lock.Enter());
    ASSERT_TRUE(lock.Enter(false));
    EXPECT_FALSE(takenElsewhere());
    lock.Leave();
    lock.Leave();
    EXPECT_TRUE(takenElsewhere());
}
