// ctest-labels: thread
#include "platform/os/Clock.h"
#include "platform/os/MessageQueue.h"
#include "platform/os/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

namespace
{
struct Counter : os::MessageTarget
{
    std::atomic<intptr_t> sum{0};
    intptr_t HandleMessage(const os::Message& message) override
    {
        sum.fetch_add(message.lParam);
        return message.lParam * 2;
    }
};

struct Worker
{
    os::Event wake{false};
    std::atomic<int> messagesSeen{0};
    std::atomic<int> signals{0};
    std::atomic<bool> stop{false};
};
} // namespace

TEST(MessageQueueTest, OwnQueueKeepsOrderAndPeekCanLeaveTheMessage)
{
    Counter counter;
    os::CreateMessageQueue();
    for (intptr_t i = 1; i <= 3; ++i)
        ASSERT_TRUE(os::PostThreadMessage(os::CurrentThreadId(), {&counter, 0x400, 0, i}));
    os::Message message;
    ASSERT_TRUE(os::PeekMessage(message, false));
    EXPECT_EQ(message.lParam, 1);
    intptr_t expected = 1;
    while (os::PeekMessage(message, true))
    {
        EXPECT_EQ(message.lParam, expected++);
        EXPECT_EQ(os::DispatchMessage(message), message.lParam * 2);
    }
    EXPECT_EQ(counter.sum.load(), 6);
    EXPECT_EQ(os::DispatchMessage(os::Message{}), 0);
}

TEST(MessageQueueTest, EndedOrUnknownThreadsRefusePosts)
{
    os::Thread thread;
    ASSERT_TRUE(thread.Start("Short", [](void*) {}, nullptr));
    const uint32_t id = thread.GetId();
    thread.Join();
    EXPECT_FALSE(os::PostThreadMessage(id, {}));
    EXPECT_FALSE(os::PostThreadMessage(0xFFFFFF, {}));
}

TEST(MessageQueueTest, WaitWakesForTheEventOrAMessage)
{
    Worker worker;
    os::Thread thread;
    ASSERT_TRUE(thread.Start("Waiter", [](void* argument) {
        Worker& w = *static_cast<Worker*>(argument);
        while (!w.stop.load())
        {
            const os::Event::WaitResult result = os::WaitForEventOrMessage(w.wake, os::kInfinite);
            if (result == os::Event::WaitResult::Signalled)
                w.signals.fetch_add(1);
            os::Message message;
            while (os::PeekMessage(message, true))
                w.messagesSeen.fetch_add(1);
        }
    }, &worker));
    // Posting right after Start must work: the queue exists before Start returns.
    ASSERT_TRUE(os::PostThreadMessage(thread.GetId(), {}));
    while (worker.messagesSeen.load() == 0)
        os::Sleep(1);
    worker.wake.Set();
    while (worker.signals.load() == 0)
        os::Sleep(1);
    worker.stop.store(true);
    os::PostThreadMessage(thread.GetId(), {});
    thread.Join();
    EXPECT_GE(worker.messagesSeen.load(), 1);
}

TEST(MessageQueueTest, WaitTimesOutWhenNothingArrives)
{
    os::Event event(false);
    EXPECT_EQ(os::WaitForEventOrMessage(event, 5), os::Event::WaitResult::TimedOut);
    event.Set();
    EXPECT_EQ(os::WaitForEventOrMessage(event, 5), os::Event::WaitResult::Signalled);
}
