// ctest-labels: thread
#include "core/threads/BaseThread.h"

#include "platform/os/Clock.h"
#include "platform/os/MessageQueue.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
enum TestCommand : uint32_t
{
    COMMAND_RECORD = kFirstSubclassCommand, // u32 producer, u32 sequence
    COMMAND_BLOCK,                          // os::Event* to wait on
    COMMAND_MARK,                           // std::atomic<bool>* to set after a pause
};

// Worker that records what it was given and where its hooks ran.
class RecordingThread : public BaseThread
{
public:
    RecordingThread(bool producerLock, uint32_t timeoutMs, uint32_t ringBytes = 65536)
        : BaseThread("Recording", ringBytes, producerLock, timeoutMs, 0x400000)
    {
    }
    ~RecordingThread() override { Stop(); }

    std::atomic<uint32_t> initThread{0};
    std::atomic<uint32_t> exitCount{0};
    std::atomic<uint32_t> handled{0};
    std::vector<uint32_t> nextSequence = std::vector<uint32_t>(8, 0); // worker side
    std::atomic<uint32_t> outOfOrder{0};
    std::atomic<uint32_t> ticks{0};
    std::atomic<uint32_t> commandsDone{0};
    using BaseThread::ProcessCommands; // driven by hand while no worker runs

protected:
    void ThreadInit() override { initThread.store(os::CurrentThreadId()); }
    void Tick() override
    {
        ticks.fetch_add(1);
        BaseThread::Tick();
    }
    void ThreadExit() override { exitCount.fetch_add(1); }
    void OnCommandDone() override { commandsDone.fetch_add(1); }
    void HandleCommand(const uint8_t* record) override
    {
        uint32_t id = 0;
        std::memcpy(&id, record, 4);
        CommandRingBuffer& ring = GetRing();
        if (id == COMMAND_RECORD)
        {
            uint32_t producer = 0;
            uint32_t sequence = 0;
            ring.Read(&producer, 4);
            ring.Read(&sequence, 4);
            if (producer >= nextSequence.size() || nextSequence[producer] != sequence)
                outOfOrder.fetch_add(1);
            else
                ++nextSequence[producer];
        }
        else if (id == COMMAND_BLOCK)
        {
            os::Event* gate = nullptr;
            ring.Read(&gate, sizeof(gate));
            gate->Wait(os::kInfinite);
        }
        else if (id == COMMAND_MARK)
        {
            std::atomic<bool>* mark = nullptr;
            ring.Read(&mark, sizeof(mark));
            os::Sleep(50);
            mark->store(true);
        }
        handled.fetch_add(1);
    }
};

bool Record(BaseThread& thread, uint32_t producer, uint32_t sequence)
{
    const uint32_t payload[2] = {producer, sequence};
    return thread.PostCommand(COMMAND_RECORD, payload, sizeof(payload));
}

template <typename T>
void PostPointer(BaseThread& thread, uint32_t id, T* pointer)
{
    ASSERT_TRUE(thread.PostCommand(id, &pointer, sizeof(pointer)));
}

void WaitForFill(BaseThread& thread, uint32_t bytes)
{
    while (thread.GetRing().GetFillLevel() < bytes)
        os::Sleep(1);
}
} // namespace

TEST(BaseThreadTest, StartRunsInitOnTheWorkerAndStopRunsWhatWasQueuedFirst)
{
    RecordingThread thread(false, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_STREQ(thread.GetName(), "Recording");
    thread.Flush();
    EXPECT_NE(thread.initThread.load(), 0u);
    EXPECT_EQ(thread.initThread.load(), thread.GetThreadId());
    EXPECT_NE(thread.initThread.load(), os::CurrentThreadId());

    os::Event gate(true);
    PostPointer(thread, COMMAND_BLOCK, &gate);
    for (uint32_t i = 0; i < 100; ++i)
        ASSERT_TRUE(Record(thread, 0, i));
    const uint32_t ticksBeforeGate = thread.ticks.load();
    gate.Set();
    thread.Stop();
    EXPECT_LE(thread.ticks.load(), ticksBeforeGate + 3) << "what waits behind a command runs in the same tick";
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.exitCount.load(), 1u);
    EXPECT_EQ(thread.nextSequence[0], 100u);
    EXPECT_EQ(thread.outOfOrder.load(), 0u);
    EXPECT_GE(thread.commandsDone.load(), thread.handled.load());
}

TEST(BaseThreadTest, StopWithoutStartReturnsAtOnce)
{
    RecordingThread thread(true, 10);
    const int64_t before = os::QueryCounter();
    thread.Stop();
    thread.Flush();
    EXPECT_LT(os::QueryCounter() - before, os::kCounterFrequency / 10);
    EXPECT_EQ(thread.exitCount.load(), 0u);
}

TEST(BaseThreadTest, CanBeStartedAgainAfterStop)
{
    RecordingThread thread(false, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    thread.Stop();
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(Record(thread, 0, 0));
    thread.Flush();
    EXPECT_EQ(thread.nextSequence[0], 1u);
    thread.Stop();
    EXPECT_EQ(thread.exitCount.load(), 2u);
    { // with no subclass to stop it, the base destructor stops the worker before its join
        BaseThread plain("Plain", 4096, false, os::kInfinite, 0);
        EXPECT_TRUE(plain.Start());
    }
}

// A busy machine may hold a worker back for a while, so ticking is waited for, not timed.
bool WaitForTicks(const RecordingThread& thread, uint32_t ticks)
{
    for (int i = 0; i < 500 && thread.GetTickCount() < ticks; ++i)
        os::Sleep(10);
    return thread.GetTickCount() >= ticks;
}

TEST(BaseThreadTest, IdleWorkerStopsTickingUntilACommandArrives)
{
    RecordingThread thread(false, 10);
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(WaitForTicks(thread, 4));

    // A wake left over from the flush's own commit may still give one more tick; a 10 ms worker
    // would give about fifteen in this window.
    thread.SetIdle(true);
    thread.Flush();
    const uint32_t idleTicks = thread.GetTickCount();
    os::Sleep(150);
    EXPECT_LE(thread.GetTickCount(), idleTicks + 1);

    const uint32_t beforeCommand = thread.GetTickCount();
    ASSERT_TRUE(Record(thread, 0, 0));
    thread.Flush();
    const uint32_t afterCommand = thread.GetTickCount();
    EXPECT_GT(afterCommand, beforeCommand);
    EXPECT_EQ(thread.nextSequence[0], 1u);
    os::Sleep(150);
    EXPECT_LE(thread.GetTickCount(), afterCommand + 1);
    EXPECT_EQ(thread.GetTickCount(), thread.ticks.load()); // asleep now: every tick counted, once

    thread.SetIdle(false);
    EXPECT_TRUE(WaitForTicks(thread, afterCommand + 4));
    EXPECT_GT(thread.GetIdleTime().GetTicks(), 0);
}

// Only the spells with an empty ring count as idle, each from its own first empty look.
TEST(BaseThreadTest, IdleTimeCountsEachEmptySpellFromItsStart)
{
    RecordingThread thread(false, os::kInfinite);
    os::EnableManualCounter(os::QueryCounter());
    for (const int64_t idle : {100, 50})
    {
        thread.ProcessCommands(); // empty: the spell starts
        os::AdvanceManualCounter(idle / 2);
        thread.ProcessCommands(); // still empty: the same spell
        os::AdvanceManualCounter(idle / 2);
        ASSERT_TRUE(Record(thread, 0, thread.nextSequence[0]));
        thread.ProcessCommands(); // work: the spell ends
        os::AdvanceManualCounter(1000);
    }
    os::DisableManualCounter();
    EXPECT_EQ(thread.GetIdleTime().GetTicks(), 150);
}

// One shared done event would let the second flusher return when the first flusher's command ran,
// before its own marked command had.
TEST(BaseThreadTest, ConcurrentFlushersEachWaitForTheirOwnCommand)
{
    RecordingThread thread(true, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    thread.Flush();
    while (!thread.GetRing().IsEmpty()) // the flush record is released just after the flush returns
        os::Sleep(1);
    const uint32_t start = 0;

    os::Event gate(true);
    PostPointer(thread, COMMAND_BLOCK, &gate);
    std::atomic<bool> firstFlushed{false};
    std::thread first([&] {
        thread.Flush();
        firstFlushed.store(true);
    });
    WaitForFill(thread, start + CommandRingBuffer::Stride(8) * 2);

    std::atomic<bool> marked{false};
    std::atomic<bool> markedBeforeSecondReturned{false};
    std::thread second([&] {
        std::atomic<bool>* mark = &marked;
        thread.PostCommand(COMMAND_MARK, &mark, sizeof(mark));
        thread.Flush();
        markedBeforeSecondReturned.store(marked.load());
    });
    WaitForFill(thread, start + CommandRingBuffer::Stride(8) * 4);
    os::Sleep(20);
    gate.Set();
    first.join();
    second.join();
    EXPECT_TRUE(firstFlushed.load());
    EXPECT_TRUE(markedBeforeSecondReturned.load());
}

TEST(BaseThreadTest, FlushAndStopOnTheWorkerItselfDoNotDeadlock)
{
    RecordingThread thread(false, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.PostCall([](BaseThread& self, uintptr_t argument, CommandRingBuffer&) {
        self.Flush();
        self.Stop();
        reinterpret_cast<std::atomic<bool>*>(argument)->store(true);
    }, reinterpret_cast<uintptr_t>(&ran)));
    thread.Flush();
    EXPECT_TRUE(ran.load());
}

TEST(BaseThreadTest, CallCommandCarriesAPointerSizedArgument)
{
    RecordingThread thread(false, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    static std::atomic<uint64_t> seen{0};
    static std::atomic<BaseThread*> self{nullptr};
    ASSERT_TRUE(thread.PostCall([](BaseThread& worker, uintptr_t argument, CommandRingBuffer& ring) {
        seen.store(argument);
        self.store(&worker);
        EXPECT_EQ(&ring, &worker.GetRing());
    }, uintptr_t(0x123456789ABCDEF0ull)));
    thread.Flush();
    EXPECT_EQ(seen.load(), 0x123456789ABCDEF0ull);
    EXPECT_EQ(self.load(), &thread);
}

// Every commit releases the wake semaphore once; the worker takes it back after each command that
// ran something (init, done, call, the subclass's) and never after a nop, the exit or an idle
// switch, so what is left once the worker has stopped is one count per command of those three.
TEST(BaseThreadTest, WakeSemaphoreIsTakenAfterEveryCommandButNopExitAndIdle)
{
    class SemaphoreThread : public RecordingThread
    {
    public:
        explicit SemaphoreThread(os::Semaphore& wake) : RecordingThread(false, os::kInfinite)
        {
            SetWakeSemaphore(&wake);
        }
    };
    os::Semaphore wake(0, 0x7FFFFFFF);
    SemaphoreThread thread(wake);
    ASSERT_TRUE(thread.Start());
    thread.SetIdle(false);
    ASSERT_TRUE(Record(thread, 0, 0));
    ASSERT_TRUE(thread.PostCall([](BaseThread&, uintptr_t, CommandRingBuffer&) {}, 0));
    ASSERT_TRUE(thread.PostCommand(THREAD_COMMAND_NOP, nullptr, 0));
    thread.Flush();
    thread.Stop();
    EXPECT_EQ(thread.handled.load(), 1u);
    int left = 0;
    while (wake.Wait(0))
        ++left;
    EXPECT_EQ(left, 3); // idle, nop, exit
}

TEST(BaseThreadTest, PayloadThatCanNeverFitIsRefusedAndLogged)
{
    RecordingThread thread(true, os::kInfinite, 4096);
    ASSERT_TRUE(thread.Start());
    ConsoleCapture capture;
    EXPECT_FALSE(thread.BeginCommand(COMMAND_RECORD, 4096 - 512));
    EXPECT_TRUE(capture.Contains("never fits", CONSOLE_ERROR));
    // The producer lock was not left held.
    ASSERT_TRUE(Record(thread, 0, 0));
    thread.Flush();
    EXPECT_EQ(thread.nextSequence[0], 1u);
}

TEST(BaseThreadTest, FullRingMakesTheProducerWaitNotFail)
{
    RecordingThread thread(false, os::kInfinite, 2048);
    ASSERT_TRUE(thread.Start());
    os::Event gate(true);
    PostPointer(thread, COMMAND_BLOCK, &gate);
    std::atomic<bool> posted{false};
    std::thread producer([&] {
        for (uint32_t i = 0; i < 200; ++i)
            Record(thread, 0, i);
        posted.store(true);
    });
    os::Sleep(60);
    EXPECT_FALSE(posted.load());
    gate.Set();
    producer.join();
    thread.Flush();
    EXPECT_EQ(thread.nextSequence[0], 200u);
}

TEST(BaseThreadTest, MessagePostedToTheWorkerWakesAndIsDispatchedThere)
{
    struct Target : os::MessageTarget
    {
        std::atomic<uint32_t> thread{0};
        std::atomic<uintptr_t> value{0};
        intptr_t HandleMessage(const os::Message& message) override
        {
            value.store(message.wParam);
            thread.store(os::CurrentThreadId());
            return 0;
        }
    } target;
    RecordingThread thread(false, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    thread.Flush();
    const uint32_t ticks = thread.GetTickCount();
    os::Message message;
    message.target = &target;
    message.id = 0x400;
    message.wParam = 77;
    ASSERT_TRUE(os::PostThreadMessage(thread.GetThreadId(), message));
    for (int i = 0; i < 500 && target.value.load() == 0; ++i)
        os::Sleep(2);
    EXPECT_EQ(target.value.load(), 77u);
    EXPECT_EQ(target.thread.load(), thread.GetThreadId());
    EXPECT_GT(thread.GetTickCount(), ticks);
}

// Four producers through a locked ring: nothing lost or repeated, each producer's order kept.
TEST(BaseThreadTest, LockedRingCarriesManyProducersInOrder)
{
    constexpr uint32_t kProducers = 4;
    constexpr uint32_t kCommands = 100000;
    RecordingThread thread(true, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    thread.Flush();
    const uint32_t before = thread.handled.load();
    std::vector<std::thread> producers;
    for (uint32_t p = 0; p < kProducers; ++p)
        producers.emplace_back([&thread, p] {
            for (uint32_t i = 0; i < kCommands; ++i)
                Record(thread, p, i);
        });
    for (std::thread& producer : producers)
        producer.join();
    thread.Flush();
    EXPECT_EQ(thread.outOfOrder.load(), 0u);
    EXPECT_EQ(thread.handled.load() - before, kProducers * kCommands);
    for (uint32_t p = 0; p < kProducers; ++p)
        EXPECT_EQ(thread.nextSequence[p], kCommands);
}

// The worker sleeps without a time limit between bursts, so a wake lost between its last look at
// the ring and its sleep would hang a round; each round waits with a limit instead of for ever.
TEST(BaseThreadTest, SleepingWorkerWakesForEveryCommandOfIrregularBursts)
{
    RecordingThread thread(false, os::kInfinite);
    ASSERT_TRUE(thread.Start());
    thread.Flush();
    const uint32_t before = thread.handled.load();
    uint32_t sequence = 0;
    uint32_t lost = 0;
    for (uint32_t round = 0; round < 600 && lost == 0; ++round)
    {
        const uint32_t burst = 1 + round % 5;
        for (uint32_t i = 0; i < burst; ++i)
            Record(thread, 0, sequence++);
        // Gaps from none to longer than the worker's spin, so it is caught both spinning and asleep.
        if (round % 3 == 1)
            std::this_thread::sleep_for(std::chrono::microseconds(round % 200));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (thread.handled.load() - before != sequence && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (thread.handled.load() - before != sequence)
            ++lost;
    }
    EXPECT_EQ(lost, 0u);
    thread.Flush();
    EXPECT_EQ(thread.outOfOrder.load(), 0u);
    EXPECT_EQ(thread.nextSequence[0], sequence);
}

// A producer held up by a full ring resumes when the worker frees room, not at its next 20 ms step:
// ~70 refills of this ring would take 1.4 s of steps.
TEST(BaseThreadTest, FullRingProducerResumesAsSoonAsRoomFrees)
{
    RecordingThread thread(false, os::kInfinite, 4096);
    ASSERT_TRUE(thread.Start());
    os::Event gate(true);
    PostPointer(thread, COMMAND_BLOCK, &gate);
    std::thread producer([&] {
        uint8_t payload[256] = {};
        for (uint32_t i = 0; i < 400; ++i)
        {
            std::memcpy(payload + 4, &i, 4);
            thread.PostCommand(COMMAND_RECORD, payload, sizeof(payload));
        }
    });
    WaitForFill(thread, 4096 - 1024);
    const auto start = std::chrono::steady_clock::now();
    gate.Set();
    producer.join();
    thread.Flush();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
    EXPECT_EQ(thread.outOfOrder.load(), 0u);
    EXPECT_EQ(thread.nextSequence[0], 400u);
}
