// Worker threads and their command rings.
//
// Every long-lived worker is a BaseThread: an OS thread that owns a CommandRingBuffer. Other
// threads hand it work by writing a command record into the ring (BeginCommand, the ring's Write
// calls, EndCommand); only the worker reads the ring. The worker sleeps on its wake event (or a
// message posted to its thread) up to its wait timeout, then Tick drains the ring: ids 0-5 are run
// here, every other id goes to the subclass's HandleCommand. A worker that keeps catching up with
// a producer still posting leaves the ring alone for a microsecond before it looks again, so the two
// do not trade the lines being written. After a tick that ran commands the worker spins briefly
// before it sleeps; it announces the sleep in m_workerSleeping, passes a
// process-wide barrier (os::ProcessBarrier) and looks at the ring once more, and the first producer
// that sees that announcement takes it back and sets the wake event (once per announcement). The
// barrier is what lets a commit publish with a plain release store and no fence. A producer
// that meets a full ring sleeps in steps of at most 20 ms on m_spaceEvent, which the worker sets as
// soon as half the ring is free again (a wake lost to a race costs at most one step). Threads built
// with the producer lock accept any number of producers; the others must have exactly one. The
// workers, what each owns, who waits on whom and their command ids: docs/architecture.md.
//
// Start, Stop, Flush, SetIdle, SetPriority and the destructor belong to the owning thread;
// BeginCommand/EndCommand to producers; the virtual hooks run on the worker.
#pragma once

#include "core/threads/CommandRingBuffer.h"
#include "core/time/Time.h"
#include "platform/os/Sync.h"
#include "platform/os/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class BaseThread;

// Command 5's function: runs on the worker like a member of the thread object.
using ThreadCall = void (*)(BaseThread& thread, uintptr_t argument, CommandRingBuffer& ring);

// Built-in command ids; subclasses number their own from kFirstSubclassCommand.
enum BaseThreadCommand : uint32_t
{
    THREAD_COMMAND_NOP = 0, // also the wrap marker
    THREAD_COMMAND_INIT = 1,
    THREAD_COMMAND_EXIT = 2, // os::Event* to set once the run loop has ended
    THREAD_COMMAND_IDLE = 3, // u8: nonzero waits without a time limit until the next command
    THREAD_COMMAND_DONE = 4, // os::Event* to set when reached
    THREAD_COMMAND_CALL = 5, // ThreadCall, uintptr_t argument
};
constexpr uint32_t kFirstSubclassCommand = 6;

// A worker thread with a command ring, run loop, idle accounting and built-in commands.
class BaseThread
{
public:
    // ringBytes: ring capacity; producerLock: serialise any number of producers; waitTimeoutMs:
    // longest sleep between ticks (os::kInfinite: none, 0: never sleeps); subclassWord: kept for
    // the subclass.
    BaseThread(const char* name, uint32_t ringBytes, bool producerLock, uint32_t waitTimeoutMs,
               uintptr_t subclassWord);
    // Subclasses must Stop in their own destructor: the worker calls their hooks until then.
    virtual ~BaseThread();
    BaseThread(const BaseThread&) = delete;
    BaseThread& operator=(const BaseThread&) = delete;

    // Starts the worker and posts command 1; false when the thread could not be created (command 1
    // then stays queued and Stop does nothing).
    virtual bool Start();
    // Runs everything queued before it, ends the worker and waits for it; returns at once when no
    // worker runs.
    virtual void Stop();

    // Reserves a record of payloadBytes. Waits in 20 ms steps while the ring is full; false (logged)
    // only for a payload that can never fit. With the producer lock, the lock is held until EndCommand.
    // Posting is inline up to the ring's own fast path: everything else is out of line.
    bool BeginCommand(uint32_t id, uint32_t payloadBytes)
    {
        if (m_producerLock == nullptr && payloadBytes < m_ring.GetMaxPayload() && m_ring.BeginWrite(id, payloadBytes))
            return true;
        return BeginCommandSlow(id, payloadBytes);
    }
    // Commits the record and wakes the worker.
    void EndCommand()
    {
        // The commit's store must not pass the look at the announcement: the worker announces, passes
        // its barrier, then looks at the ring. Only the compiler needs holding back when that barrier
        // exists; a fenced store here would wait on every post for the lines the worker keeps reading.
        if (m_sleepBarrier)
            m_ring.EndWrite(std::memory_order_release);
        else
            m_ring.EndWrite(std::memory_order_seq_cst);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (m_workerSleeping.load(std::memory_order_seq_cst))
            WakeSleepingWorker();
        if (m_producerLock != nullptr || m_wakeSemaphore != nullptr)
            EndCommandSlow();
    }
    // Reserve, write and commit a whole payload in one call.
    bool PostCommand(uint32_t id, const void* payload, uint32_t payloadBytes)
    {
        if (!BeginCommand(id, payloadBytes))
            return false;
        m_ring.Write(payload, payloadBytes);
        EndCommand();
        return true;
    }
    CommandRingBuffer& GetRing() { return m_ring; }
    bool HasSpace(uint32_t payloadBytes) const { return m_ring.HasSpace(payloadBytes); }

    // Returns once the worker has executed everything posted before this call (by any producer).
    // Returns at once on the worker itself or when no worker runs.
    void Flush();
    // Nonzero: sleep without a time limit until a command arrives; zero: back to the configured timeout.
    void SetIdle(bool idle);
    // Posts command 5: call(thread, argument, ring) on the worker.
    bool PostCall(ThreadCall call, uintptr_t argument);
    void SetPriority(int priority) { m_thread.SetPriority(priority); }

    bool IsRunning() const { return m_thread.IsRunning(); }
    bool IsCurrentThread() const;
    uint32_t GetThreadId() const { return m_threadId.load(std::memory_order_acquire); }
    const char* GetName() const { return m_name.empty() ? nullptr : m_name.c_str(); }
    uintptr_t GetSubclassWord() const { return m_subclassWord; }
    bool HasProducerLock() const { return m_producerLock != nullptr; }
    uint32_t GetConfiguredTimeout() const { return m_configuredTimeoutMs; }
    uint32_t GetTickCount() const { return m_tickCount.load(std::memory_order_relaxed); }
    // Time the worker spent with an empty ring (read by statistics from other threads).
    Time GetIdleTime() const { return Time(m_idleTime.load(std::memory_order_relaxed)); }

protected:
    // Worker side hooks.
    virtual void ThreadInit();
    virtual void ThreadExit();
    // record points at the record's header; the payload is read through the ring's read calls.
    virtual void HandleCommand(const uint8_t* record);
    virtual void Tick();
    // Runs on the worker after each command it executed (built-in or subclass); empty here.
    virtual void OnCommandDone() {}
    void ProcessCommands();

    // Installs a semaphore released per commit and waited on after each executed command (not
    // owned; set before Start).
    void SetWakeSemaphore(os::Semaphore* semaphore) { m_wakeSemaphore = semaphore; }
    uint32_t GetCurrentTimeout() const { return m_currentTimeoutMs; }

private:
    static void ThreadEntry(void* argument);
    void RunLoop();
    bool ExecuteBuiltInCommand(uint32_t id);
    void WaitForEvent(os::Event& event, const char* what);
    bool SpinForWork() const;
    void LetProducerGetAhead() const;
    bool BeginCommandSlow(uint32_t id, uint32_t payloadBytes);
    void WakeSleepingWorker();
    void EndCommandSlow();
    void WakeWaitingProducer();

    CommandRingBuffer m_ring;
    std::string m_name;
    os::Semaphore* m_wakeSemaphore = nullptr;
    os::Event m_wakeEvent{false};
    os::Event m_spaceEvent{false};
    os::Thread m_thread;
    std::atomic<uint32_t> m_threadId{0};
    const uint32_t m_configuredTimeoutMs;
    const uintptr_t m_subclassWord;
    // The worker's barrier before it sleeps orders each commit against its sleep announcement;
    // without one (the system has none) every commit fences.
    const bool m_sleepBarrier;
    std::unique_ptr<os::CriticalSection> m_producerLock;
    // Worker side, on lines of their own: producers read nothing here, so the worker's writes on
    // every tick never take a line a producer needs for its next post.
    alignas(64) std::atomic<uint32_t> m_tickCount{0};
    uint32_t m_currentTimeoutMs;
    bool m_lastTickHadWork = false;
    os::Event* m_exitEvent = nullptr;
    bool m_exitRequested = false;
    uint32_t m_idleTicks = 0;
    Time m_idleStart;
    std::atomic<int64_t> m_idleTime{0}; // Time ticks
    // Written by the worker before and after it sleeps, read by producers after every commit.
    alignas(64) std::atomic<bool> m_workerSleeping{false};
    // Set by a producer waiting for room in a full ring.
    alignas(64) std::atomic<bool> m_producerWaiting{false};
};
