// ctest-labels: thread
#include "platform/os/ProcessBarrier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
// One side of a store-then-load handshake per round: each side stores its flag, then looks at the
// other's. The light side only holds back the compiler; the heavy side passes the process barrier.
// Both looks finding nothing means a store was still unseen after the barrier. Waiting threads
// yield: with more threads than cores a bare spin holds the core the others need for a whole
// time slice, every round.
struct Handshake
{
    std::atomic<int> light{0};
    std::atomic<int> heavy{0};
    std::atomic<int> lightSaw{0};
    std::atomic<int> heavySaw{0};
    std::atomic<int> startRound{-1};
    std::atomic<int> lightDone{-1};
    std::atomic<int> heavyDone{-1};
};
} // namespace

TEST(ProcessBarrierTest, RegistersOnceAndThenOrdersALightSidesStoreBeforeItsLoad)
{
    const bool registered = os::RegisterProcessBarrier();
    EXPECT_EQ(registered, os::RegisterProcessBarrier());
    // Every kernel this builds on has the expedited barrier; without it there is nothing to test.
    ASSERT_TRUE(registered);
    EXPECT_TRUE(os::ProcessBarrier());

    constexpr int kRounds = 20000;
    Handshake h;
    int bothMissed = 0;
    std::thread lightSide([&h] {
        for (int round = 0; round < kRounds; ++round)
        {
            while (h.startRound.load(std::memory_order_acquire) != round)
                std::this_thread::yield();
            h.light.store(1, std::memory_order_relaxed);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            h.lightSaw.store(h.heavy.load(std::memory_order_relaxed), std::memory_order_relaxed);
            h.lightDone.store(round, std::memory_order_release);
        }
    });
    std::thread heavySide([&h] {
        for (int round = 0; round < kRounds; ++round)
        {
            while (h.startRound.load(std::memory_order_acquire) != round)
                std::this_thread::yield();
            h.heavy.store(1, std::memory_order_relaxed);
            os::ProcessBarrier();
            h.heavySaw.store(h.light.load(std::memory_order_relaxed), std::memory_order_relaxed);
            h.heavyDone.store(round, std::memory_order_release);
        }
    });
    for (int round = 0; round < kRounds; ++round)
    {
        h.light.store(0, std::memory_order_relaxed);
        h.heavy.store(0, std::memory_order_relaxed);
        h.startRound.store(round, std::memory_order_release);
        while (h.lightDone.load(std::memory_order_acquire) != round || h.heavyDone.load(std::memory_order_acquire) != round)
            std::this_thread::yield();
        if (h.lightSaw.load(std::memory_order_relaxed) == 0 && h.heavySaw.load(std::memory_order_relaxed) == 0)
            ++bothMissed;
    }
    lightSide.join();
    heavySide.join();
    EXPECT_EQ(bothMissed, 0);
}
